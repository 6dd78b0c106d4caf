/* Menu texts over plain data: a printer's name as its tray menu row shows it. */
#ifndef QUORVEL_MENULOGIC_H
#define QUORVEL_MENULOGIC_H

#include <stddef.h>
#include "../core/records.h"

/* Room for the longest name with every character an "&", each doubled, and
   the NUL. */
#define MENU_TEXT_SIZE (2 * NAME_FIELD_SIZE)

/* Copies a printer name into a menu text that shows the name as it is: a menu
   takes a lone "&" as the mark of the next character's access key, so each
   "&" is doubled. Returns 1 when the whole name fit; otherwise the text ends
   before the first character that did not fit, never inside a doubled "&". */
int ComposeMenuText(const char *pszName, char *pszText, size_t cchText);

#endif
