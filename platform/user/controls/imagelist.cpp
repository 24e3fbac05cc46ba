/*
 * Image lists: a row of equally sized images, each with its mask, that a
 * control draws by index.
 *
 * An image list keeps its images as icon records of exactly cx by cy pixels:
 * colour and an opaque mask.  An icon of another size is scaled to the
 * list's size when it is added (nearest neighbour: every target pixel takes
 * the source pixel its centre falls on), so that drawing never scales.
 *
 * The mask is kept only when the list was made with ILC_MASK.  Without it
 * the platform's list has no mask: the icon is flattened onto black (the
 * colour its transparent pixels carry in the icon's colour image) and drawn
 * opaque.  The colour depth flags are accepted and recorded, but the images
 * are kept at full colour: the layer's screens are 32-bit internally and
 * the icons the installer adds are 16-colour already.
 *
 * There is no background colour: the list's is CLR_NONE, as ImageList_Create
 * makes it, so ILD_NORMAL and ILD_TRANSPARENT both leave the background where
 * the mask is transparent.  ILD_MASK draws the mask itself: black where the
 * image is opaque, white where it is not.
 */
#include "user/wm.h"

#include <unordered_set>

struct _IMAGELIST {
    uint32_t magic;
    int cx = 0, cy = 0;
    UINT flags = 0;
    int grow = 4;
    std::vector<layer::IconObj> images;
};

namespace layer {

static constexpr uint32_t kImageListMagic = 0x4c474d49; /* "IMGL" */

static std::unordered_set<HIMAGELIST> &LiveLists()
{
    static std::unordered_set<HIMAGELIST> lists;
    return lists;
}

static HIMAGELIST Lookup(HIMAGELIST list)
{
    if (!list || !LiveLists().count(list) || list->magic != kImageListMagic)
        return nullptr;
    return list;
}

/* The icon resampled to the list's size; the mask dropped without ILC_MASK. */
static IconObj Resample(const _IMAGELIST *list, const IconObj *icon)
{
    IconObj out;
    out.magic = kIconMagic;
    out.width = list->cx;
    out.height = list->cy;
    out.shared = false;
    out.color.assign((size_t)list->cx * list->cy, 0);
    out.opaque.assign((size_t)list->cx * list->cy, 1);
    bool masked = (list->flags & ILC_MASK) != 0;
    for (int y = 0; y < list->cy; y++) {
        int sy = (int)(((long long)y * 2 + 1) * icon->height / (2LL * list->cy));
        for (int x = 0; x < list->cx; x++) {
            int sx = (int)(((long long)x * 2 + 1) * icon->width / (2LL * list->cx));
            size_t s = (size_t)sy * icon->width + sx, d = (size_t)y * list->cx + x;
            bool opaque = s < icon->opaque.size() ? icon->opaque[s] != 0 : true;
            uint32_t color = s < icon->color.size() ? icon->color[s] : 0;
            if (masked) {
                out.color[d] = color;
                out.opaque[d] = opaque ? 1 : 0;
            } else {
                out.color[d] = opaque ? color : 0;
            }
        }
    }
    return out;
}

} // namespace layer

using namespace layer;

extern "C" HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int initial, int grow)
{
    if (cx <= 0 || cy <= 0 || initial < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    HIMAGELIST list = new _IMAGELIST();
    list->magic = kImageListMagic;
    list->cx = cx;
    list->cy = cy;
    list->flags = flags;
    list->grow = grow > 0 ? grow : 1;
    list->images.reserve((size_t)initial);
    LiveLists().insert(list);
    return list;
}

extern "C" BOOL WINAPI ImageList_Destroy(HIMAGELIST handle)
{
    HIMAGELIST list = Lookup(handle);
    if (!list)
        return FALSE;
    LiveLists().erase(list);
    list->magic = 0;
    delete list;
    return TRUE;
}

extern "C" int WINAPI ImageList_ReplaceIcon(HIMAGELIST handle, int index, HICON icon)
{
    HIMAGELIST list = Lookup(handle);
    IconObj *source = IconLookup(icon);
    if (!list || !source || source->width <= 0 || source->height <= 0)
        return -1;
    if (index < -1 || index >= (int)list->images.size())
        return -1;
    IconObj image = Resample(list, source);
    if (index == -1) {
        if (list->images.size() == list->images.capacity())
            list->images.reserve(list->images.size() + (size_t)list->grow);
        list->images.push_back(std::move(image));
        return (int)list->images.size() - 1;
    }
    list->images[index] = std::move(image);
    return index;
}

extern "C" int WINAPI ImageList_GetImageCount(HIMAGELIST handle)
{
    HIMAGELIST list = Lookup(handle);
    return list ? (int)list->images.size() : 0;
}

extern "C" BOOL WINAPI ImageList_GetIconSize(HIMAGELIST handle, int *cx, int *cy)
{
    HIMAGELIST list = Lookup(handle);
    if (!list || !cx || !cy)
        return FALSE;
    *cx = list->cx;
    *cy = list->cy;
    return TRUE;
}

extern "C" BOOL WINAPI ImageList_Draw(HIMAGELIST handle, int index, HDC hdc, int x, int y, UINT style)
{
    HIMAGELIST list = Lookup(handle);
    DC *dc = DCLookup(hdc);
    if (!list || !dc || index < 0 || index >= (int)list->images.size())
        return FALSE;
    const IconObj &image = list->images[index];
    int dx = dc->origin.x + dc->viewport.x + x, dy = dc->origin.y + dc->viewport.y + y;
    if (style & ILD_MASK) {
        IconObj mask = image;
        for (size_t i = 0; i < mask.color.size(); i++) {
            mask.color[i] = mask.opaque[i] ? 0x000000 : 0xFFFFFF;
            mask.opaque[i] = 1;
        }
        DrawIconPixels(dc, &mask, dx, dy, mask.width, mask.height);
        return TRUE;
    }
    DrawIconPixels(dc, &image, dx, dy, image.width, image.height);
    return TRUE;
}

extern "C" void WINAPI InitCommonControls(void) {}
