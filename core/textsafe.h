/* Bounded text copies for code that also builds off Windows: on Windows this is
   strsafe.h itself; elsewhere (the native logic tests) a small stand-in with the
   same contract: always NUL-terminated, STRSAFE_E_INSUFFICIENT_BUFFER when cut. */
#ifndef QUORVEL_TEXTSAFE_H
#define QUORVEL_TEXTSAFE_H

#ifdef _WIN32
/* Sockets first: windows.h would otherwise bring the old sockets header. */
#include <winsock2.h>
#include <windows.h>
#include <strsafe.h>
#else
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

/* 32 bits as on Windows, so the error codes are negative. */
typedef int32_t HRESULT;
#define S_OK ((HRESULT)0)
#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)(uint32_t)0x8007007AU)
#define STRSAFE_E_INVALID_PARAMETER ((HRESULT)(uint32_t)0x80070057U)
#ifndef SUCCEEDED
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif

static inline HRESULT StringCchCopyA(char *pszDest, size_t cchDest, const char *pszSrc)
{
    size_t i;
    if (cchDest == 0)
        return STRSAFE_E_INVALID_PARAMETER;
    for (i = 0; i + 1 < cchDest && pszSrc[i] != '\0'; i++)
        pszDest[i] = pszSrc[i];
    pszDest[i] = '\0';
    return pszSrc[i] == '\0' ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}

static inline HRESULT StringCchCatA(char *pszDest, size_t cchDest, const char *pszSrc)
{
    size_t len = strnlen(pszDest, cchDest);
    if (len >= cchDest)
        return STRSAFE_E_INVALID_PARAMETER;
    return StringCchCopyA(pszDest + len, cchDest - len, pszSrc);
}

static inline HRESULT StringCchPrintfA(char *pszDest, size_t cchDest, const char *pszFormat, ...)
{
    va_list args;
    int n;
    if (cchDest == 0)
        return STRSAFE_E_INVALID_PARAMETER;
    va_start(args, pszFormat);
    n = vsnprintf(pszDest, cchDest, pszFormat, args);
    va_end(args);
    if (n < 0) {
        pszDest[0] = '\0';
        return STRSAFE_E_INVALID_PARAMETER;
    }
    return (size_t)n < cchDest ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}
#endif

#endif
