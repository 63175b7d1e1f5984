// Bounded text copies: what does not fit is cut, and the text is always terminated.
#ifndef TELINV_BASE_TEXT_COPY_H
#define TELINV_BASE_TEXT_COPY_H

#include <cstddef>

// Copies text into dest, a buffer of size characters: at most size - 1 characters and
// the terminator. Nothing happens with size 0.
void text_copy(char *dest, size_t size, const char *text);

// Appends text to the terminated text in dest (a buffer of size characters) as far as it
// fits, and terminates it.
void text_append(char *dest, size_t size, const char *text);

#endif
