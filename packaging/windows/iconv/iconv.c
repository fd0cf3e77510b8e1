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
 * one- and two-byte forms, the four-byte forms of U+10000 and above by their formula, those
 * of the BMP (rare characters outside GBK) by the standard's runs (k_bmp4). */
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

/* GB18030's four-byte forms of the BMP (used where code page 54936 is missing): runs of
 * consecutive code points, each from the four bytes' index `ptr` on at code point `cp`, taken
 * from the standard's mapping. Between runs lie the code points GB18030 writes in two bytes. */
static const struct {
  unsigned short ptr, cp;
} k_bmp4[] = {
    {0, 0x0080}, {36, 0x00A5}, {38, 0x00A9}, {45, 0x00B2}, {50, 0x00B8}, {81, 0x00D8}, {89,
    0x00E2}, {95, 0x00EB}, {96, 0x00EE}, {100, 0x00F4}, {103, 0x00F8}, {104, 0x00FB}, {105,
    0x00FD}, {109, 0x0102}, {126, 0x0114}, {133, 0x011C}, {148, 0x012C}, {172, 0x0145}, {175,
    0x0149}, {179, 0x014E}, {208, 0x016C}, {306, 0x01CF}, {307, 0x01D1}, {308, 0x01D3}, {309,
    0x01D5}, {310, 0x01D7}, {311, 0x01D9}, {312, 0x01DB}, {313, 0x01DD}, {341, 0x01FA}, {428,
    0x0252}, {443, 0x0262}, {544, 0x02C8}, {545, 0x02CC}, {558, 0x02DA}, {741, 0x03A2}, {742,
    0x03AA}, {749, 0x03C2}, {750, 0x03CA}, {805, 0x0402}, {819, 0x0450}, {820, 0x0452}, {7922,
    0x2011}, {7924, 0x2017}, {7925, 0x201A}, {7927, 0x201E}, {7934, 0x2027}, {7943, 0x2031},
    {7944, 0x2034}, {7945, 0x2036}, {7950, 0x203C}, {8062, 0x20AD}, {8148, 0x2104}, {8149,
    0x2106}, {8152, 0x210A}, {8164, 0x2117}, {8174, 0x2122}, {8236, 0x216C}, {8240, 0x217A},
    {8262, 0x2194}, {8264, 0x219A}, {8374, 0x2209}, {8380, 0x2210}, {8381, 0x2212}, {8384,
    0x2216}, {8388, 0x221B}, {8390, 0x2221}, {8392, 0x2224}, {8393, 0x2226}, {8394, 0x222C},
    {8396, 0x222F}, {8401, 0x2238}, {8406, 0x223E}, {8416, 0x2249}, {8419, 0x224D}, {8424,
    0x2253}, {8437, 0x2262}, {8439, 0x2268}, {8445, 0x2270}, {8482, 0x2296}, {8485, 0x229A},
    {8496, 0x22A6}, {8521, 0x22C0}, {8603, 0x2313}, {8936, 0x246A}, {8946, 0x249C}, {9046,
    0x254C}, {9050, 0x2574}, {9063, 0x2590}, {9066, 0x2596}, {9076, 0x25A2}, {9092, 0x25B4},
    {9100, 0x25BE}, {9108, 0x25C8}, {9111, 0x25CC}, {9113, 0x25D0}, {9131, 0x25E6}, {9162,
    0x2607}, {9164, 0x260A}, {9218, 0x2641}, {9219, 0x2643}, {11329, 0x2E82}, {11331, 0x2E85},
    {11334, 0x2E89}, {11336, 0x2E8D}, {11346, 0x2E98}, {11361, 0x2EA8}, {11363, 0x2EAB},
    {11366, 0x2EAF}, {11370, 0x2EB4}, {11372, 0x2EB8}, {11375, 0x2EBC}, {11389, 0x2ECB},
    {11682, 0x2FFC}, {11686, 0x3004}, {11687, 0x3018}, {11692, 0x301F}, {11694, 0x302A},
    {11714, 0x303F}, {11716, 0x3094}, {11723, 0x309F}, {11725, 0x30F7}, {11730, 0x30FF},
    {11736, 0x312A}, {11982, 0x322A}, {11989, 0x3232}, {12102, 0x32A4}, {12336, 0x3390},
    {12348, 0x339F}, {12350, 0x33A2}, {12384, 0x33C5}, {12393, 0x33CF}, {12395, 0x33D3},
    {12397, 0x33D6}, {12510, 0x3448}, {12553, 0x3474}, {12851, 0x359F}, {12962, 0x360F},
    {12973, 0x361B}, {13738, 0x3919}, {13823, 0x396F}, {13919, 0x39D1}, {13933, 0x39E0},
    {14080, 0x3A74}, {14298, 0x3B4F}, {14585, 0x3C6F}, {14698, 0x3CE1}, {15583, 0x4057},
    {15847, 0x4160}, {16318, 0x4338}, {16434, 0x43AD}, {16438, 0x43B2}, {16481, 0x43DE},
    {16729, 0x44D7}, {17102, 0x464D}, {17122, 0x4662}, {17315, 0x4724}, {17320, 0x472A},
    {17402, 0x477D}, {17418, 0x478E}, {17859, 0x4948}, {17909, 0x497B}, {17911, 0x497E},
    {17915, 0x4984}, {17916, 0x4987}, {17936, 0x499C}, {17939, 0x49A0}, {17961, 0x49B8},
    {18664, 0x4C78}, {18703, 0x4CA4}, {18814, 0x4D1A}, {18962, 0x4DAF}, {19043, 0x9FA6},
    {33469, 0xE76C}, {33470, 0xE7C8}, {33471, 0xE7E7}, {33484, 0xE815}, {33485, 0xE819},
    {33490, 0xE81F}, {33497, 0xE827}, {33501, 0xE82D}, {33505, 0xE833}, {33513, 0xE83C},
    {33520, 0xE844}, {33536, 0xE856}, {33550, 0xE865}, {37845, 0xF92D}, {37921, 0xF97A},
    {37948, 0xF996}, {38029, 0xF9E8}, {38038, 0xF9F2}, {38064, 0xFA10}, {38065, 0xFA12},
    {38066, 0xFA15}, {38069, 0xFA19}, {38075, 0xFA22}, {38076, 0xFA25}, {38078, 0xFA2A},
    {39108, 0xFE32}, {39109, 0xFE45}, {39113, 0xFE53}, {39114, 0xFE58}, {39115, 0xFE67},
    {39116, 0xFE6C}, {39265, 0xFF5F}, {39394, 0xFFE6}};
#define BMP4_COUNT (sizeof k_bmp4 / sizeof k_bmp4[0])
#define BMP4_LAST 39419u /* the index of U+FFFF */

/* The run an index or a code point falls in: the last one starting at or before it. */
static size_t bmp4_run(unsigned key, int by_cp) {
  size_t lo = 0, hi = BMP4_COUNT;
  while (hi - lo > 1) {
    const size_t mid = (lo + hi) / 2;
    if ((by_cp ? k_bmp4[mid].cp : k_bmp4[mid].ptr) <= key)
      lo = mid;
    else
      hi = mid;
  }
  return lo;
}

/* The index of `cp`'s four-byte form, or -1 when GB18030 writes it in one or two bytes. */
static long bmp4_index(unsigned cp) {
  if (cp < 0x80 || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
  const size_t r = bmp4_run(cp, 1);
  const unsigned ptr = k_bmp4[r].ptr + (cp - k_bmp4[r].cp);
  const unsigned end = r + 1 < BMP4_COUNT ? k_bmp4[r + 1].ptr : BMP4_LAST + 1;
  return ptr < end ? (long)ptr : -1;
}

/* GB18030's two-byte forms that code page 936 lacks (the euro, ǹ, CJK radicals and rare
 * characters it keeps in private use), by code point. */
static const struct {
  unsigned short cp, code;
} k_gb2[] = {
    {0x01F9,0xA8BF}, {0x20AC,0xA2E3}, {0x2E81,0xFE50}, {0x2E84,0xFE54}, {0x2E88,0xFE57},
    {0x2E8B,0xFE58}, {0x2E8C,0xFE5D}, {0x2E97,0xFE5E}, {0x2EA7,0xFE6B}, {0x2EAA,0xFE6E},
    {0x2EAE,0xFE71}, {0x2EB3,0xFE73}, {0x2EB6,0xFE74}, {0x2EB7,0xFE75}, {0x2EBB,0xFE79},
    {0x2ECA,0xFE84}, {0x2FF0,0xA98A}, {0x2FF1,0xA98B}, {0x2FF2,0xA98C}, {0x2FF3,0xA98D},
    {0x2FF4,0xA98E}, {0x2FF5,0xA98F}, {0x2FF6,0xA990}, {0x2FF7,0xA991}, {0x2FF8,0xA992},
    {0x2FF9,0xA993}, {0x2FFA,0xA994}, {0x2FFB,0xA995}, {0x303E,0xA989}, {0x3447,0xFE56},
    {0x3473,0xFE55}, {0x359E,0xFE5A}, {0x360E,0xFE5C}, {0x361A,0xFE5B}, {0x3918,0xFE60},
    {0x396E,0xFE5F}, {0x39CF,0xFE62}, {0x39D0,0xFE65}, {0x39DF,0xFE63}, {0x3A73,0xFE64},
    {0x3B4E,0xFE68}, {0x3C6E,0xFE69}, {0x3CE0,0xFE6A}, {0x4056,0xFE6F}, {0x415F,0xFE70},
    {0x4337,0xFE72}, {0x43AC,0xFE78}, {0x43B1,0xFE77}, {0x43DD,0xFE7A}, {0x44D6,0xFE7B},
    {0x464C,0xFE7D}, {0x4661,0xFE7C}, {0x4723,0xFE80}, {0x4729,0xFE81}, {0x477C,0xFE82},
    {0x478D,0xFE83}, {0x4947,0xFE85}, {0x497A,0xFE86}, {0x497D,0xFE87}, {0x4982,0xFE88},
    {0x4983,0xFE89}, {0x4985,0xFE8A}, {0x4986,0xFE8B}, {0x499B,0xFE8D}, {0x499F,0xFE8C},
    {0x49B6,0xFE8F}, {0x49B7,0xFE8E}, {0x4C77,0xFE96}, {0x4C9F,0xFE93}, {0x4CA0,0xFE94},
    {0x4CA1,0xFE95}, {0x4CA2,0xFE97}, {0x4CA3,0xFE92}, {0x4D13,0xFE98}, {0x4D14,0xFE99},
    {0x4D15,0xFE9A}, {0x4D16,0xFE9B}, {0x4D17,0xFE9C}, {0x4D18,0xFE9D}, {0x4D19,0xFE9E},
    {0x4DAE,0xFE9F}};
#define GB2_COUNT (sizeof k_gb2 / sizeof k_gb2[0])

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
        if (index <= BMP4_LAST) {
          const size_t r = bmp4_run(index, 0);
          w[0] = (wchar_t)(k_bmp4[r].cp + (index - k_bmp4[r].ptr));
          *units = 1;
          return 4;
        }
        if (index < 189000 || index > 189000 + 0xFFFFF) return -1;
        const unsigned cp = index - 189000; /* past U+10000 */
        w[0] = (wchar_t)(0xD800 + (cp >> 10));
        w[1] = (wchar_t)(0xDC00 + (cp & 0x3FF));
        *units = 2;
        return 4;
      }
      if (s->kind == K_GBK18030 && n == 1 && in[0] >= 0x80) return -1;
      if (s->kind == K_GBK18030 && n == 2) {
        const unsigned code = (unsigned)in[0] << 8 | in[1];
        for (size_t i = 0; i < GB2_COUNT; ++i)
          if (k_gb2[i].code == code) {
            w[0] = (wchar_t)k_gb2[i].cp;
            *units = 1;
            return 2;
          }
      }
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
      /* Four bytes: past U+FFFF by formula, in the BMP by the standard's runs. */
      const long index = units == 2 ? 189000 + ((w[0] - 0xD800L) << 10) + (w[1] - 0xDC00L)
                                    : bmp4_index(w[0]);
      if (index >= 0) {
        buf[3] = (unsigned char)(0x30 + index % 10);
        buf[2] = (unsigned char)(0x81 + index / 10 % 126);
        buf[1] = (unsigned char)(0x30 + index / 1260 % 10);
        buf[0] = (unsigned char)(0x81 + index / 12600);
        n = 4;
        break;
      }
      size_t i = 0;
      while (i < GB2_COUNT && k_gb2[i].cp != w[0]) ++i;
      if (i < GB2_COUNT) { /* among them the euro, which code page 936 has at 0x80 */
        buf[0] = (unsigned char)(k_gb2[i].code >> 8), buf[1] = (unsigned char)k_gb2[i].code;
        n = 2;
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
