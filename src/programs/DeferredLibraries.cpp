// The zip and workbook libraries (libzip, with libcrypto and the compressors behind it, and
// libxlsxwriter) come into the program the first time one of their functions is called, not
// when it starts: most sessions never import or export a workbook, and loading those
// libraries is a good part of a start. This file defines every function of theirs that the
// core calls; the first call loads the library with dlopen, and each call goes on to the
// library's own function. The executable lists this file before the libraries and links with
// --as-needed, so it no longer names them at all (a test reads its dynamic section).
//
// The functions are not exported (no --export-dynamic), so the libraries' calls among their
// own functions stay inside them. A library that cannot be loaded makes its functions fail as
// they fail on a bad file (no archive, no workbook), so the caller's own message follows.
//
// The names of the libraries are the ones the build linked against (TOMBOLIX_LIBZIP_SONAME,
// TOMBOLIX_XLSXWRITER_SONAME): shared objects loaded with dlopen, or on Windows the DLLs
// beside the program loaded with LoadLibrary (the core sees libzip's header without its
// dllimport marks, so its calls come here and not through the import table).
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <xlsxwriter.h>
#include <zip.h>

#include <cstdio>
#include <type_traits>

namespace {

#ifdef _WIN32
class TLibrary {
 public:
  // From the program's own folder (and what it needs from System32), never from the current
  // folder or the PATH.
  explicit TLibrary(const char* dll)
      : m_handle(::LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS)) {
    if (!m_handle)
      std::fprintf(stderr, "tombolix: %s cannot be loaded (%lu)\n", dll, ::GetLastError());
  }
  // Never freed: its functions stay in use until the program ends.
  void* Symbol(const char* name) const {
    return m_handle ? reinterpret_cast<void*>(::GetProcAddress(m_handle, name)) : nullptr;
  }

 private:
  HMODULE m_handle;
};
#else
class TLibrary {
 public:
  explicit TLibrary(const char* soname) : m_handle(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
    if (!m_handle) std::fprintf(stderr, "tombolix: %s\n", ::dlerror());
  }
  // Never closed: its functions stay in use until the program ends.
  void* Symbol(const char* name) const { return m_handle ? ::dlsym(m_handle, name) : nullptr; }

 private:
  void* m_handle;
};
#endif

const TLibrary& Zip() {
  static const TLibrary lib(TOMBOLIX_LIBZIP_SONAME);
  return lib;
}

const TLibrary& Xlsx() {
  static const TLibrary lib(TOMBOLIX_XLSXWRITER_SONAME);
  return lib;
}

// What a function gives when its library is missing: what it gives on failure.
template <class R>
R Failed() {
  if constexpr (std::is_void_v<R>) {
    return;
  } else if constexpr (std::is_pointer_v<R>) {
    return nullptr;
  } else {
    return static_cast<R>(-1);
  }
}

}  // namespace

// Defines `name` (declared by the library's header, whose declaration the compiler holds this
// one to) as a call of the library's own function, looked up once.
#define TOMBOLIX_DEFERRED(library, ret, name, params, args)         \
  ret name params {                                                 \
    static decltype(&name) const real =                             \
        reinterpret_cast<decltype(&name)>(library().Symbol(#name)); \
    if (!real) return Failed<ret>();                                \
    return real args;                                               \
  }

// libzip: reading workbooks (xlsx, ods) and writing the audit bundle.
TOMBOLIX_DEFERRED(Zip, int, zip_close, (zip_t * z), (z))
TOMBOLIX_DEFERRED(Zip, void, zip_discard, (zip_t * z), (z))
TOMBOLIX_DEFERRED(Zip, void, zip_error_fini, (zip_error_t * e), (e))
TOMBOLIX_DEFERRED(Zip, void, zip_error_init, (zip_error_t * e), (e))
TOMBOLIX_DEFERRED(Zip, int, zip_fclose, (zip_file_t * f), (f))
TOMBOLIX_DEFERRED(Zip, zip_int64_t, zip_file_add,
                  (zip_t * z, const char* name, zip_source_t* s, zip_flags_t flags),
                  (z, name, s, flags))
TOMBOLIX_DEFERRED(Zip, zip_file_t*, zip_fopen_index, (zip_t * z, zip_uint64_t i, zip_flags_t flags),
                  (z, i, flags))
TOMBOLIX_DEFERRED(Zip, zip_int64_t, zip_fread, (zip_file_t * f, void* buf, zip_uint64_t n),
                  (f, buf, n))
TOMBOLIX_DEFERRED(Zip, const char*, zip_get_name, (zip_t * z, zip_uint64_t i, zip_flags_t flags),
                  (z, i, flags))
TOMBOLIX_DEFERRED(Zip, zip_int64_t, zip_get_num_entries, (zip_t * z, zip_flags_t flags), (z, flags))
TOMBOLIX_DEFERRED(Zip, zip_int64_t, zip_name_locate,
                  (zip_t * z, const char* name, zip_flags_t flags), (z, name, flags))
TOMBOLIX_DEFERRED(Zip, zip_t*, zip_open, (const char* path, int flags, int* error),
                  (path, flags, error))
TOMBOLIX_DEFERRED(Zip, zip_t*, zip_open_from_source,
                  (zip_source_t * s, int flags, zip_error_t* error), (s, flags, error))
TOMBOLIX_DEFERRED(Zip, zip_source_t*, zip_source_buffer,
                  (zip_t * z, const void* data, zip_uint64_t n, int freep), (z, data, n, freep))
TOMBOLIX_DEFERRED(Zip, zip_source_t*, zip_source_buffer_create,
                  (const void* data, zip_uint64_t n, int freep, zip_error_t* error),
                  (data, n, freep, error))
TOMBOLIX_DEFERRED(Zip, int, zip_source_close, (zip_source_t * s), (s))
TOMBOLIX_DEFERRED(Zip, void, zip_source_free, (zip_source_t * s), (s))
TOMBOLIX_DEFERRED(Zip, void, zip_source_keep, (zip_source_t * s), (s))
TOMBOLIX_DEFERRED(Zip, int, zip_source_open, (zip_source_t * s), (s))
TOMBOLIX_DEFERRED(Zip, zip_int64_t, zip_source_read, (zip_source_t * s, void* buf, zip_uint64_t n),
                  (s, buf, n))
TOMBOLIX_DEFERRED(Zip, int, zip_stat_index,
                  (zip_t * z, zip_uint64_t i, zip_flags_t flags, zip_stat_t* st), (z, i, flags, st))

// libxlsxwriter: the workbook export.
TOMBOLIX_DEFERRED(Xlsx, void, format_set_align, (lxw_format * f, uint8_t a), (f, a))
TOMBOLIX_DEFERRED(Xlsx, void, format_set_bold, (lxw_format * f), (f))
TOMBOLIX_DEFERRED(Xlsx, void, format_set_border, (lxw_format * f, uint8_t style), (f, style))
TOMBOLIX_DEFERRED(Xlsx, void, format_set_font_name, (lxw_format * f, const char* name), (f, name))
TOMBOLIX_DEFERRED(Xlsx, void, format_set_num_format, (lxw_format * f, const char* format),
                  (f, format))
TOMBOLIX_DEFERRED(Xlsx, lxw_format*, workbook_add_format, (lxw_workbook * wb), (wb))
TOMBOLIX_DEFERRED(Xlsx, lxw_worksheet*, workbook_add_worksheet,
                  (lxw_workbook * wb, const char* name), (wb, name))
TOMBOLIX_DEFERRED(Xlsx, lxw_error, workbook_close, (lxw_workbook * wb), (wb))
TOMBOLIX_DEFERRED(Xlsx, lxw_workbook*, workbook_new_opt,
                  (const char* path, lxw_workbook_options* options), (path, options))
TOMBOLIX_DEFERRED(Xlsx, lxw_error, workbook_set_properties,
                  (lxw_workbook * wb, lxw_doc_properties* properties), (wb, properties))
TOMBOLIX_DEFERRED(Xlsx, lxw_error, worksheet_merge_range,
                  (lxw_worksheet * ws, lxw_row_t r1, lxw_col_t c1, lxw_row_t r2, lxw_col_t c2,
                   const char* text, lxw_format* f),
                  (ws, r1, c1, r2, c2, text, f))
TOMBOLIX_DEFERRED(Xlsx, lxw_error, worksheet_set_column,
                  (lxw_worksheet * ws, lxw_col_t first, lxw_col_t last, double width,
                   lxw_format* f),
                  (ws, first, last, width, f))
TOMBOLIX_DEFERRED(Xlsx, lxw_error, worksheet_write_string,
                  (lxw_worksheet * ws, lxw_row_t r, lxw_col_t c, const char* text, lxw_format* f),
                  (ws, r, c, text, f))

// The text of an error: the library's own, or why there is no library.
char* lxw_strerror(lxw_error error) {
  static decltype(&lxw_strerror) const real =
      reinterpret_cast<decltype(&lxw_strerror)>(Xlsx().Symbol("lxw_strerror"));
  static char missing[] = "libxlsxwriter could not be loaded";
  return real ? real(error) : missing;
}
