/* The Molt extractor library: one call unpacks a pack, or the part of it that
   a path filter selects, under a destination folder. */
#ifndef MOLT_H
#define MOLT_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define MOLT_CALL __cdecl
#else
#define MOLT_CALL
#endif

#if defined(_WIN32)
#define MOLT_EXPORT
#else
#define MOLT_EXPORT __attribute__((visibility("default")))
#endif

/* packPath:    the pack's volume path, a format for the volume number
                ("data%d.bin"), or "@" and the path of a list of volumes.
   destination: the folder to recreate the tree under; empty for the
                current directory.
   filter:      null for the whole pack, or a path whose components are
                separated by backslashes, with '*' and '?', that selects one
                file or one directory.
   showErrors:  1 shows the library's error boxes, any other value none.
   command:     "UNPACK".
   Returns 0, or one of the error codes of the library. Calls must not
   overlap. */
MOLT_EXPORT int MOLT_CALL Molt(const char* packPath, const char* destination, const char* filter,
                               int showErrors, const char* command);

typedef int(MOLT_CALL* MoltFunction)(const char* packPath, const char* destination,
                                     const char* filter, int showErrors, const char* command);

#ifdef __cplusplus
}
#endif

#endif
