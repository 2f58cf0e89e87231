#pragma once

#include "shared/path_buffer.h"

// Both return 0 when the whole result (at most 259 characters plus the
// terminator) fits, non-zero otherwise. They never truncate: on failure the
// destination keeps its previous bytes. Neither reads a source, or the text
// already in the destination, further than needed to decide.

// Copies source into destination.
int CopyPath(PathBuffer& destination, const char* source);

// Appends source to the terminated text already in destination.
int AppendToPath(PathBuffer& destination, const char* source);
