/* iconv for the Windows build: the conversions the program and libfreexl ask for, done by
 * the Windows code-page functions. Debian has no Windows iconv to build from source, and
 * Windows itself has none; GB18030 is Windows code page 54936, which every Windows 10 has.
 *
 * Text is converted one character at a time, so the errors come exactly as iconv reports
 * them: EILSEQ with *inbuf on the bad sequence, EINVAL for a sequence cut off at the end,
 * E2BIG with *inbuf on the first character that did not fit. Stateless encodings only. */
#include "iconv.h"
#include "localcharset.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

/* K_GBK18030: GB18030 where the system lacks code page 54936 (wine): code page 936 for the
 * one- and two-byte forms, the four-byte forms of U+10000 and above by their formula; the
 * four-byte forms of the BMP (rare characters outside GBK) are not converted there. */
enum kind { K_UTF8, K_UTF16LE, K_UTF16BE, K_CODEPAGE, K_GBK18030 };

struct side {
  enum kind kind;
  UINT cp;
};

struct tombolix_iconv {
  struct side from, to;
};

static int same(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'a' && x <= 'z') x = (char)(x - 32);
    if (y >= 'a' && y <= 'z') y = (char)(y - 32);
    if (x == '-' || x == '_') x = '-';
    if (y == '-' || y == '_') y = '-';
    if (x != y) return 0;
  }
  return *a == *b;
}

static int parse(const char* name, struct side* s) {
  static const struct {
    const char* name;
    UINT cp;
  } named[] = {{"GB18030", 54936},  {"GBK", 936},        {"GB2312", 936},   {"ASCII", 20127},
               {"US-ASCII", 20127}, {"MACROMAN", 10000}, {"LATIN1", 28591}, {"ISO-8859-1", 28591},
               {"BIG5", 950},       {"SHIFT-JIS", 932}};
  if (same(name, "UTF-8") || same(name, "UTF8")) {
    s->kind = K_UTF8;
    return 1;
  }
  if (same(name, "UTF-16LE")) {
    s->kind = K_UTF16LE;
    return 1;
  }
  if (same(name, "UTF-16BE")) {
    s->kind = K_UTF16BE;
    return 1;
  }
  for (size_t i = 0; i < sizeof named / sizeof named[0]; ++i)
    if (same(name, named[i].name)) {
      s->kind = K_CODEPAGE;
      s->cp = named[i].cp;
      if (s->cp == 54936 && !IsValidCodePage(54936)) {
        s->kind = K_GBK18030;
        s->cp = 936;
      }
      return 1;
    }
  if ((name[0] == 'C' || name[0] == 'c') && (name[1] == 'P' || name[1] == 'p') && name[2]) {
    char* end;
    unsigned long cp = strtoul(name + 2, &end, 10);
    if (*end == '\0' && cp > 0 && IsValidCodePage((UINT)cp)) {
      s->kind = K_CODEPAGE;
      s->cp = (UINT)cp;
      return 1;
    }
  }
  return 0;
}

iconv_t iconv_open(const char* tocode, const char* fromcode) {
  struct tombolix_iconv c;
  if (!parse(tocode, &c.to) || !parse(fromcode, &c.from)) {
    errno = EINVAL;
    return (iconv_t)-1;
  }
  struct tombolix_iconv* p = malloc(sizeof c);
  if (!p) {
    errno = ENOMEM;
    return (iconv_t)-1;
  }
  *p = c;
  return p;
}

int iconv_close(iconv_t cd) {
  free(cd);
  return 0;
}

/* Reads one character from `in` (`left` bytes) into UTF-16 `w` (1 or 2 units). Returns the
 * bytes used, 0 when the input ends inside a character, -1 when it is invalid. */
static int decode(const struct side* s, const unsigned char* in, size_t left, wchar_t* w,
                  int* units) {
  switch (s->kind) {
    case K_UTF8: {
      unsigned c = in[0];
      int n;
      unsigned cp, min;
      if (c < 0x80) {
        w[0] = (wchar_t)c;
        *units = 1;
        return 1;
      } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2, cp = c & 0x1F, min = 0x80;
      } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, cp = c & 0x0F, min = 0x800;
      } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, cp = c & 0x07, min = 0x10000;
      } else {
        return -1;
      }
      for (int i = 1; i < n; ++i) {
        if ((size_t)i >= left) return 0;
        if ((in[i] & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (in[i] & 0x3F);
      }
      if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
      if (cp >= 0x10000) {
        cp -= 0x10000;
        w[0] = (wchar_t)(0xD800 + (cp >> 10));
        w[1] = (wchar_t)(0xDC00 + (cp & 0x3FF));
        *units = 2;
      } else {
        w[0] = (wchar_t)cp;
        *units = 1;
      }
      return n;
    }
    case K_UTF16LE:
    case K_UTF16BE: {
      const int le = s->kind == K_UTF16LE;
      if (left < 2) return 0;
      unsigned u = le ? (in[0] | in[1] << 8) : (in[0] << 8 | in[1]);
      if (u >= 0xDC00 && u <= 0xDFFF) return -1;
      w[0] = (wchar_t)u;
      *units = 1;
      if (u < 0xD800 || u > 0xDBFF) return 2;
      if (left < 4) return 0;
      unsigned v = le ? (in[2] | in[3] << 8) : (in[2] << 8 | in[3]);
      if (v < 0xDC00 || v > 0xDFFF) return -1;
      w[1] = (wchar_t)v;
      *units = 2;
      return 4;
    }
    case K_CODEPAGE:
    case K_GBK18030: {
      int n = 1;
      if (s->cp == 54936 || s->kind == K_GBK18030) {
        /* GB18030: one byte below 0x80, else two (lead 81-FE, trail 40-7E or 80-FE) or
         * four (81-FE, 30-39, 81-FE, 30-39). */
        if (in[0] >= 0x80) {
          if (in[0] == 0x80 || in[0] == 0xFF) return -1;
          if (left < 2) return 0;
          if (in[1] >= 0x30 && in[1] <= 0x39) {
            if (left < 4) return 0;
            if (in[2] < 0x81 || in[2] > 0xFE || in[3] < 0x30 || in[3] > 0x39) return -1;
            n = 4;
          } else if ((in[1] >= 0x40 && in[1] <= 0x7E) || (in[1] >= 0x80 && in[1] <= 0xFE)) {
            n = 2;
          } else {
            return -1;
          }
        }
      } else if (IsDBCSLeadByteEx(s->cp, in[0])) {
        if (left < 2) return 0;
        n = 2;
      }
      if (s->kind == K_GBK18030 && n == 4) {
        const unsigned index =
            (((in[0] - 0x81u) * 10 + (in[1] - 0x30u)) * 126 + (in[2] - 0x81u)) * 10 +
            (in[3] - 0x30u);
        if (index < 189000 || index > 189000 + 0xFFFFF) return -1;
        const unsigned cp = index - 189000; /* past U+10000 */
        w[0] = (wchar_t)(0xD800 + (cp >> 10));
        w[1] = (wchar_t)(0xDC00 + (cp & 0x3FF));
        *units = 2;
        return 4;
      }
      if (s->kind == K_GBK18030 && n == 1 && in[0] >= 0x80) return -1;
      int got = MultiByteToWideChar(s->cp, MB_ERR_INVALID_CHARS, (const char*)in, n, w, 2);
      if (got <= 0) return -1;
      *units = got;
      return n;
    }
  }
  return -1;
}

/* Writes the UTF-16 character `w` into `out` (`room` bytes). Returns the bytes written, 0
 * when it does not fit, -1 when the target cannot represent it. */
static int encode(const struct side* s, const wchar_t* w, int units, unsigned char* out,
                  size_t room) {
  unsigned char buf[8];
  int n;
  switch (s->kind) {
    case K_UTF8: {
      unsigned cp = w[0];
      if (units == 2) cp = 0x10000 + ((cp - 0xD800) << 10) + (w[1] - 0xDC00);
      if (cp < 0x80) {
        buf[0] = (unsigned char)cp, n = 1;
      } else if (cp < 0x800) {
        buf[0] = (unsigned char)(0xC0 | cp >> 6), buf[1] = (unsigned char)(0x80 | (cp & 0x3F));
        n = 2;
      } else if (cp < 0x10000) {
        buf[0] = (unsigned char)(0xE0 | cp >> 12);
        buf[1] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
        buf[2] = (unsigned char)(0x80 | (cp & 0x3F));
        n = 3;
      } else {
        buf[0] = (unsigned char)(0xF0 | cp >> 18);
        buf[1] = (unsigned char)(0x80 | ((cp >> 12) & 0x3F));
        buf[2] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
        buf[3] = (unsigned char)(0x80 | (cp & 0x3F));
        n = 4;
      }
      break;
    }
    case K_UTF16LE:
    case K_UTF16BE:
      n = 0;
      for (int i = 0; i < units; ++i) {
        unsigned u = w[i];
        buf[n++] = (unsigned char)(s->kind == K_UTF16LE ? u & 0xFF : u >> 8);
        buf[n++] = (unsigned char)(s->kind == K_UTF16LE ? u >> 8 : u & 0xFF);
      }
      break;
    case K_CODEPAGE: {
      /* Code pages 54936 (which covers all of Unicode) and the UTF ones take no flags. */
      BOOL lossy = FALSE;
      const int flagless = s->cp == 54936 || s->cp >= 65000;
      n = WideCharToMultiByte(s->cp, 0, w, units, (char*)buf, sizeof buf, NULL,
                              flagless ? NULL : &lossy);
      if (n <= 0 || lossy) return -1;
      break;
    }
    case K_GBK18030: {
      if (units == 2) {
        const unsigned index = 189000 + ((w[0] - 0xD800u) << 10) + (w[1] - 0xDC00u);
        buf[3] = (unsigned char)(0x30 + index % 10);
        buf[2] = (unsigned char)(0x81 + index / 10 % 126);
        buf[1] = (unsigned char)(0x30 + index / 1260 % 10);
        buf[0] = (unsigned char)(0x81 + index / 12600);
        n = 4;
        break;
      }
      if (w[0] == 0x20AC) { /* code page 936 has the euro at 0x80, GB18030 at A2E3 */
        buf[0] = 0xA2, buf[1] = 0xE3, n = 2;
        break;
      }
      BOOL lossy = FALSE;
      n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, w, 1, (char*)buf, sizeof buf, NULL,
                              &lossy);
      if (n <= 0 || lossy) return -1;
      break;
    }
    default:
      return -1;
  }
  if ((size_t)n > room) return 0;
  memcpy(out, buf, (size_t)n);
  return n;
}

size_t iconv(iconv_t cd, char** inbuf, size_t* inleft, char** outbuf, size_t* outleft) {
  const struct tombolix_iconv* c = cd;
  if (!inbuf || !*inbuf) return 0; /* no shift state to reset */
  while (*inleft > 0) {
    wchar_t w[2];
    int units = 0;
    int used = decode(&c->from, (const unsigned char*)*inbuf, *inleft, w, &units);
    if (used == 0) {
      errno = EINVAL;
      return (size_t)-1;
    }
    if (used < 0) {
      errno = EILSEQ;
      return (size_t)-1;
    }
    int wrote = encode(&c->to, w, units, (unsigned char*)*outbuf, *outleft);
    if (wrote == 0) {
      errno = E2BIG;
      return (size_t)-1;
    }
    if (wrote < 0) {
      errno = EILSEQ;
      return (size_t)-1;
    }
    *inbuf += used;
    *inleft -= (size_t)used;
    *outbuf += wrote;
    *outleft -= (size_t)wrote;
  }
  return 0;
}

const char* locale_charset(void) {
  static char name[16];
  if (!name[0]) {
    UINT cp = GetACP();
    char digits[12];
    int n = 0;
    do {
      digits[n++] = (char)('0' + cp % 10);
      cp /= 10;
    } while (cp && n < 11);
    name[0] = 'C';
    name[1] = 'P';
    for (int i = 0; i < n; ++i) name[2 + i] = digits[n - 1 - i];
    name[2 + n] = '\0';
  }
  return name;
}
