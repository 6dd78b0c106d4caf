/* Menu texts over plain data: a printer's name as its tray menu row shows it. */
#ifndef QUORVEL_MENULOGIC_H
#define QUORVEL_MENULOGIC_H

#include <stddef.h>
#include <wchar.h>
#include "../core/records.h"

/* Room for the longest name with every character an "&", each doubled, and
   the NUL. */
#define MENU_TEXT_SIZE (2 * NAME_FIELD_SIZE)

/* Copies a printer name into a menu text that shows the name as it is: a menu
   takes a lone "&" as the mark of the next character's access key, so each
   "&" is doubled. Returns 1 when the whole name fit; otherwise the text ends
   before the first character that did not fit, never inside a doubled "&". */
int ComposeMenuText(const char *pszName, char *pszText, size_t cchText);
/* The same for a printer's wide name. */
int ComposeMenuTextW(const wchar_t *pwszName, wchar_t *pwszText, size_t cchText);

/* Command ids of the menu's printer rows: the menu returns its choice to
   the code that showed it and posts nothing, so these ids never reach the
   window. They start above zero, which stands for "nothing chosen". */
#define MENU_PRINTER_ID_FIRST 2000

/* The menu row of a command id the menu returned, or -1 when it is not one
   of the iCount printer rows. */
int MenuPrinterRowOf(unsigned int uId, int iCount);

#endif
