// What the tests and the stand-in tools reach of the platform layer besides platform.h;
// the program itself uses none of it.
#ifndef TELINV_PLATFORM_INTERNAL_H
#define TELINV_PLATFORM_INTERNAL_H

typedef void (*plat_open_file_fn)(const char *path, void *user);

// The files that this process holds open: calls each with the path of every disk file
// behind one of its handles (host: its file descriptors), those it inherited from its
// parent included. Returns how many it found. A stand-in tool uses it to tell which of
// the program's files a tool inherits.
int plat_open_file_names(plat_open_file_fn each, void *user);

#endif
