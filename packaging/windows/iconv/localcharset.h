/* locale_charset() for the Windows build: libfreexl asks it for the system's code page. */
#ifndef TOMBOLIX_LOCALCHARSET_H
#define TOMBOLIX_LOCALCHARSET_H

#ifdef __cplusplus
extern "C" {
#endif

/* "CP" and the ANSI code page (CP936 on a Chinese Windows), which iconv_open accepts. */
const char* locale_charset(void);

#ifdef __cplusplus
}
#endif

#endif
