#include "app/window_shared.h"

#include "res/resource.h"

HINSTANCE g_hInst;
HIMAGELIST g_hImageList;
int32_t g_windowWidth = 500;
int32_t g_windowHeight = 350;

void BuildStatusImages(HINSTANCE hInst)
{
    g_hImageList = ImageList_Create(20, 20, ILC_MASK, 2, 2);
    // The order of adding gives the indices the table uses.
    const int iconIds[] = {IDI_STATUS_RED, IDI_STATUS_GREEN, IDI_STATUS_YELLOW};
    for (int id : iconIds)
        ImageList_ReplaceIcon(g_hImageList, -1, LoadIconW(hInst, MAKEINTRESOURCEW(id)));
}
