/*
 * The reader of compiled resources (.res images), open to the kernel's
 * tests so that broken images can be given to it directly.
 */
#ifndef NOBRA_RESOURCES_H
#define NOBRA_RESOURCES_H

#include "layer.h"

#include <string>
#include <vector>

namespace layer {

/* A type or a name: an integer identifier, or a string kept with its case
 * folded, so that names compare the way the platform compares them. */
struct ResourceId {
    bool isInt = true;
    WORD number = 0;
    std::u16string text;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    const unsigned char *data = nullptr;
    DWORD size = 0;
};

/* Reads every entry of a .res image.  False, with no entries, when the
 * image is truncated or malformed anywhere; nothing outside the buffer is
 * read. */
bool ParseResources(const void *image, size_t size, std::vector<ResourceEntry> &entries);

/* The identifier an API argument names: an integer resource, "#123", or a
 * string.  False for a null or empty name. */
bool ResourceIdFromArg(LPCSTR arg, ResourceId &id);

/* String index (0 to 15) of a string-table block; false when the block
 * ends before it.  An absent string reads as empty. */
bool StringInBlock(const void *block, size_t size, unsigned index, std::u16string &text);

} // namespace layer

#endif
