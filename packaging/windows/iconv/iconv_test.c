/* The Windows iconv's conversions and errors, run under wine by scripts/test-windows:
 * prints one line per failed check and "iconv: N passed, N failed". */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "iconv.h"

static int passed, failed;

static void check(int ok, const char* what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    printf("FAILED: %s\n", what);
  }
}

/* Converts `in` whole; returns iconv's result and leaves errno, the output and what is left. */
static size_t run(const char* to, const char* from, const char* in, size_t n, char* out,
                  size_t room, size_t* written, size_t* left) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return (size_t)-2;
  char* src = (char*)in;
  char* dst = out;
  size_t dstLeft = room;
  *left = n;
  size_t r = iconv(cd, &src, left, &dst, &dstLeft);
  int saved = errno;
  iconv_close(cd);
  errno = saved;
  *written = room - dstLeft;
  return r;
}

int main(void) {
  char out[64];
  size_t w, left;
  /* 中文 in GBK and UTF-8. */
  const char gbk[] = "\xD6\xD0\xCE\xC4";
  const char utf8[] = "\xE4\xB8\xAD\xE6\x96\x87";
  check(run("UTF-8", "GB18030", gbk, 4, out, sizeof out, &w, &left) == 0 && w == 6 &&
            memcmp(out, utf8, 6) == 0,
        "GB18030 to UTF-8");
  check(run("GB18030", "UTF-8", utf8, 6, out, sizeof out, &w, &left) == 0 && w == 4 &&
            memcmp(out, gbk, 4) == 0,
        "UTF-8 to GB18030");
  /* U+1F600, past the BMP: a four-byte form. */
  const char emoji[] = "\xF0\x9F\x98\x80";
  check(run("GB18030", "UTF-8", emoji, 4, out, sizeof out, &w, &left) == 0 && w == 4 &&
            memcmp(out, "\x94\x39\xFC\x36", 4) == 0,
        "U+1F600 to GB18030");
  check(run("UTF-8", "GB18030", "\x94\x39\xFC\x36", 4, out, sizeof out, &w, &left) == 0 && w == 4 &&
            memcmp(out, emoji, 4) == 0,
        "GB18030 four bytes to UTF-8");
  /* A bad byte: EILSEQ, with the input stopped on it. */
  check(run("UTF-8", "GB18030",
            "a\xFF"
            "b",
            3, out, sizeof out, &w, &left) == (size_t)-1 &&
            errno == EILSEQ && left == 2 && w == 1,
        "EILSEQ on a bad GB18030 byte");
  check(run("GB18030", "UTF-8", "a\xC3(", 3, out, sizeof out, &w, &left) == (size_t)-1 &&
            errno == EILSEQ && left == 2,
        "EILSEQ on bad UTF-8");
  /* Cut off at the end: EINVAL. */
  check(run("UTF-8", "GB18030", "\xD6", 1, out, sizeof out, &w, &left) == (size_t)-1 &&
            errno == EINVAL && left == 1,
        "EINVAL on a cut GB18030 character");
  /* No room: E2BIG, stopped before the character that did not fit. */
  check(run("UTF-8", "GB18030", gbk, 4, out, 4, &w, &left) == (size_t)-1 && errno == E2BIG &&
            left == 2 && w == 3,
        "E2BIG");
  /* UTF-16 both ways round, with a surrogate pair, and freexl's code pages. */
  check(run("GB18030", "UTF-16LE", "\x2D\x4E\x87\x65", 4, out, sizeof out, &w, &left) == 0 &&
            w == 4 && memcmp(out, gbk, 4) == 0,
        "UTF-16LE to GB18030");
  check(run("GB18030", "UTF-16BE", "\xD8\x3D\xDE\x00", 4, out, sizeof out, &w, &left) == 0 &&
            w == 4 && memcmp(out, "\x94\x39\xFC\x36", 4) == 0,
        "UTF-16BE surrogate pair to GB18030");
  check(run("UTF-8", "CP1252", "\x80", 1, out, sizeof out, &w, &left) == 0 && w == 3 &&
            memcmp(out, "\xE2\x82\xAC", 3) == 0,
        "CP1252 to UTF-8");
  check(run("UTF-8", "CP936", gbk, 4, out, sizeof out, &w, &left) == 0 && w == 6, "CP936 to UTF-8");
  /* Characters outside GBK in four bytes: a no-break space and the copyright sign. */
  check(run("GB18030", "UTF-8", "\xC2\xA0\xC2\xA9", 4, out, sizeof out, &w, &left) == 0 &&
            w == 8 && memcmp(out, "\x81\x30\x84\x32\x81\x30\x84\x38", 8) == 0,
        "no-break space and copyright sign to GB18030");
  check(run("UTF-8", "GB18030", "\x81\x30\x84\x32\x81\x30\x84\x38", 8, out, sizeof out, &w,
            &left) == 0 &&
            w == 4 && memcmp(out, "\xC2\xA0\xC2\xA9", 4) == 0,
        "no-break space and copyright sign from GB18030");
  /* Every character of the BMP there and back. */
  {
    int lost = 0;
    for (unsigned cp = 0x80; cp <= 0xFFFF; ++cp) {
      if (cp >= 0xD800 && cp <= 0xDFFF) continue;
      const char in[2] = {(char)(cp & 0xFF), (char)(cp >> 8)};
      char gb[8], back[4];
      size_t gbw = 0, bw = 0;
      if (run("GB18030", "UTF-16LE", in, 2, gb, sizeof gb, &gbw, &left) != 0 ||
          run("UTF-16LE", "GB18030", gb, gbw, back, sizeof back, &bw, &left) != 0 || bw != 2 ||
          memcmp(back, in, 2) != 0) {
        if (lost++ < 5) printf("  U+%04X does not come back\n", cp);
      }
    }
    check(lost == 0, "every BMP character through GB18030 and back");
  }
  check(iconv_open("UTF-8", "NO-SUCH-CODE") == (iconv_t)-1 && errno == EINVAL,
        "an unknown encoding");
  printf("iconv: %d passed, %d failed\n", passed, failed);
  return failed != 0;
}
