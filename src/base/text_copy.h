// Bounded text copies: what does not fit is cut, and the text is always terminated.
#ifndef TELINV_BASE_TEXT_COPY_H
#define TELINV_BASE_TEXT_COPY_H

#include <cstddef>
#include <cstdint>

// Copies text into dest, a buffer of size characters: at most size - 1 characters and
// the terminator. Nothing happens with size 0.
void text_copy(char *dest, size_t size, const char *text);

// Appends text to the terminated text in dest (a buffer of size characters) as far as it
// fits, and terminates it.
void text_append(char *dest, size_t size, const char *text);

// Copies text into dest (size characters) only when it fits whole, for a path or a name
// that cut would name another: its length; 0, with dest empty (where size allows), for an
// empty text or one that does not fit.
uint32_t text_copy_whole(char *dest, size_t size, const char *text);

#endif
