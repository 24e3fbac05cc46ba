// The folder list in both of its modes, filled directly on a test window
// that carries the browsers' list view and both path lines (102 for mode 0,
// 211 for mode 1), over one host tree.  All cases fill the same list one
// after the other, so each also shows that a filling replaces the last.

#include "wizard.h"

#include "scenario.h"

#include <sys/stat.h>

namespace {

const int kGroupPathLine = 211;

struct FolderCase {
    const char *name;
    int mode;
    const char *path;
    const char *folderName;
    std::vector<std::string> items; // in display order
    int folderItemCount;
    const char *line;
};

// C: holds the machine's own folders and these.  Names that begin with a
// full stop and plain files are never listed; a read-only folder is.
const char *const kFolders[] = {
    "Program files/zeta", "Program files/Alpha", "Program files/beta", "Program files/!data",
    "Program files/.config", "Program files/Locked", "Groups/ABCDEFGHIJK/sub", "Groups/ABCDEFGHIJKL/sub",
    "Groups/ABCDEFGHIJKL/!first",
};

const std::vector<std::string> kRoot = {"Groups", "Nobra", "Program files", "ProgramData", "Users", "WINDOWS"};

const FolderCase kCases[] = {
    // A drive root: no up item, the pattern joined without a second backslash.
    {"Mode0Root", 0, "C:\\", "Nobra", kRoot, 5, "C:\\Nobra"},
    // Below a root the up item tops the list, even above a name that sorts ahead of its full stops.
    {"Mode0Folder", 0, "C:\\Program files", "Nobra",
     {"........", "!data", "Alpha", "beta", "Locked", "Nobra", "zeta"}, 6, "C:\\Program files\\Nobra"},
    {"Mode0EmptyPathIsTheCurrentDirectory", 0, "", "Nobra", kRoot, 5, "Nobra"},
    // A folder that cannot be listed: the up item and the product item only.
    {"Mode0MissingFolder", 0, "C:\\Nowhere", "Nobra", {"........", "Nobra"}, 1, "C:\\Nowhere\\Nobra"},
    {"Mode0EmptyNameAtRoot", 0, "C:\\", "", {"", "Groups", "Program files", "ProgramData", "Users", "WINDOWS"}, 5,
     "C:\\"},
    {"Mode0EmptyNameBelowRoot", 0, "C:\\WINDOWS", "", {"........", "", "TEMP"}, 2, "C:\\WINDOWS\\"},
    // Mode 1 shows the up item only past 21 characters and always joins with a backslash,
    // doubled after a root (the group browser cannot walk up to one: it has no up item there).
    {"Mode1ThreeCharacters", 1, "C:\\", "Nobra", kRoot, 5, "C:\\\\Nobra"},
    {"Mode1TwentyOneCharacters", 1, "C:\\Groups\\ABCDEFGHIJK", "Nobra", {"Nobra", "sub"}, 1,
     "C:\\Groups\\ABCDEFGHIJK\\Nobra"},
    {"Mode1TwentyTwoCharacters", 1, "C:\\Groups\\ABCDEFGHIJKL", "Group",
     {"........", "!first", "Group", "sub"}, 3, "C:\\Groups\\ABCDEFGHIJKL\\Group"},
};

struct ItemInfo {
    std::string text;
    int image;
};

std::vector<ItemInfo> ReadItems(HWND list)
{
    std::vector<ItemInfo> out;
    int n = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < n; i++) {
        char text[256] = "";
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item);
        out.push_back({text, item.iImage});
    }
    return out;
}

std::string WindowText(HWND w)
{
    char text[1024] = "";
    GetWindowTextA(w, text, sizeof text);
    return text;
}

int FillEveryCase()
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    g_setup.instance = instance;
    HWND dialog = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 500, 400, NULL, NULL, instance, NULL);
    EXPECT_NE(dialog, nullptr);
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_LIST | LVS_SINGLESEL | LVS_SORTASCENDING, 10,
                                60, 480, 300, dialog, (HMENU)(INT_PTR)IDC_FOLDER_LIST, instance, NULL);
    HWND lines[2] = {
        CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL, 10, 10, 480, 20, dialog,
                        (HMENU)(INT_PTR)IDC_PATH_LINE, instance, NULL),
        CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL, 10, 35, 480, 20, dialog,
                        (HMENU)(INT_PTR)kGroupPathLine, instance, NULL),
    };
    EXPECT_TRUE(list && lines[0] && lines[1]);
    if (!list || !lines[0] || !lines[1])
        return 1;
    SetUpFolderImages(list);
    EXPECT_EQ(g_setup.folderImage, 0);
    EXPECT_EQ(g_setup.upImage, 1);
    EXPECT_EQ(g_setup.productImage, 2);

    for (const FolderCase &c : kCases) {
        SCOPED_TRACE(c.name);
        SetWindowTextA(lines[0], "");
        SetWindowTextA(lines[1], "");
        lstrcpyA(g_setup.folderName, c.folderName);
        char path[PathSize];
        lstrcpyA(path, c.path);

        FillFolderList(dialog, list, path, c.mode);

        EXPECT_STREQ(path, c.path) << "the path buffer was left changed";
        std::vector<ItemInfo> items = ReadItems(list);
        std::vector<std::string> texts;
        for (const ItemInfo &i : items)
            texts.push_back(i.text);
        EXPECT_EQ(texts, c.items);
        for (size_t i = 0; i < items.size(); i++) {
            int want = items[i].text == "........"        ? g_setup.upImage
                       : items[i].text == c.folderName ? g_setup.productImage
                                                       : g_setup.folderImage;
            EXPECT_EQ(items[i].image, want) << "item " << i << " " << items[i].text;
        }
        EXPECT_EQ(g_setup.folderItemCount, c.folderItemCount);
        EXPECT_EQ(WindowText(lines[c.mode]), c.line);
        EXPECT_EQ(WindowText(lines[1 - c.mode]), "") << "the other mode's path line was set";
        EXPECT_STREQ(g_setup.messageText, c.line);
    }
    DestroyWindow(dialog);
    return 0;
}

TEST(FolderList, BothModesOverOneTree)
{
    TempMachine m;
    ASSERT_TRUE(m.Ready());
    for (const char *f : kFolders)
        m.MakeDir(f);
    m.WriteFile("Program files/readme.txt", "not a folder");
    m.WriteFile("Program files/.hidden.txt", "not a folder either");
    ASSERT_EQ(chmod(m.HostPath("Program files/Locked").c_str(), 0555), 0);
    auto result = RunScenario(nullptr, FillEveryCase);
    EXPECT_SCENARIO_OK(result, 0);
}

} // namespace
