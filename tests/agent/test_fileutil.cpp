/* File helpers against the real file system: existence, folder creation,
 * guarded tree removal (parent references, links out of the tree) and the
 * append writers. */
#include "agent/fileutil.h"
#include "agent/log.h"
#include "support/scratchlog.h"
#include "support/testutil.h"

#include <winioctl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string>

using vqt::DirExistsA;
using vqt::FileExistsA;
using vqt::ReadWholeFile;
using vqt::ScratchDir;
using vqt::WriteWholeFile;

static std::wstring widen(const std::string &s)
{
    return std::wstring(s.begin(), s.end());   /* scratch paths are ASCII */
}

TEST(FileUtil, CheckFileExists)
{
    ScratchDir dir("chk");
    ASSERT_TRUE(WriteWholeFile(dir.file("a.txt"), "x"));
    EXPECT_EQ(0u, CheckFileExists(dir.file("a.txt").c_str()));
    EXPECT_EQ(0u, CheckFileExists(widen(dir.file("a.txt")).c_str()));
    EXPECT_EQ(0u, CheckFileExists(dir.file("*.txt").c_str()));   /* wildcards match */
    EXPECT_EQ(2u, CheckFileExists(dir.file("b.txt").c_str()));
    EXPECT_EQ(2u, CheckFileExists(widen(dir.file("b.txt")).c_str()));
    EXPECT_EQ(13u, CheckFileExists((const wchar_t *)NULL));
    EXPECT_EQ(13u, CheckFileExists((const char *)NULL));
    EXPECT_TRUE(FileExists(dir.file("a.txt").c_str()));
    EXPECT_FALSE(FileExists(dir.file("b.txt").c_str()));
}

TEST(FileUtil, CreateFolderMakesTheFoldersOfAFilePath)
{
    vqt::ScratchLog log;
    ScratchDir dir("mk");
    EXPECT_EQ(0u, CreateFolder(widen(dir.file("a\\b\\file.txt")).c_str(), FALSE));
    EXPECT_TRUE(DirExistsA(dir.file("a\\b")));
    EXPECT_FALSE(DirExistsA(dir.file("a\\b\\file.txt")));
    EXPECT_EQ(0u, CreateFolder(widen(dir.file("a\\b\\file.txt")).c_str(), TRUE));   /* exists */
    /* A trailing separator makes the path itself. */
    EXPECT_EQ(0u, CreateFolder(widen(dir.file("c\\d\\")).c_str(), FALSE));
    EXPECT_TRUE(DirExistsA(dir.file("c\\d")));
    /* The last component's name appearing earlier must not move the cut. */
    EXPECT_EQ(0u, CreateFolder(widen(dir.file("a\\data\\a")).c_str(), FALSE));
    EXPECT_TRUE(DirExistsA(dir.file("a\\data")));
    EXPECT_FALSE(DirExistsA(dir.file("a\\data\\a")));
    EXPECT_TRUE(log.has("CreateFolder : The Directory to create is " + dir.file("a\\data\\") + " \n"));
}

TEST(FileUtil, CreateFolderDriveNullAndBadPaths)
{
    vqt::ScratchLog log;
    EXPECT_EQ(0u, CreateFolder(L"C:\\", FALSE));
    EXPECT_EQ(0u, CreateFolder(L"C:\\file.txt", FALSE));
    EXPECT_TRUE(log.has("[INFO] CreateFolder : The Drive letter Given.hence it cannot be created \n"));
    EXPECT_EQ(13u, CreateFolder(NULL, FALSE));
    EXPECT_TRUE(log.has("[ERROR] CreateFolder : The directory to create is NULL . \n"));
    /* SHCreateDirectoryExW takes full paths only. */
    EXPECT_EQ((DWORD)ERROR_BAD_PATHNAME, CreateFolder(L"relative\\dir\\f.txt", FALSE));
    EXPECT_TRUE(log.has("CreateFolder function returns Error code 161 \n"));
    EXPECT_TRUE(log.has("[ERROR] Error Code : 161 , Error Message : "));
}

TEST(FileUtil, GetFileSizeByName)
{
    ScratchDir dir("size");
    ASSERT_TRUE(WriteWholeFile(dir.file("f.bin"), std::string(70000, 'z')));
    ULONGLONG size = 99;
    EXPECT_TRUE(GetFileSizeByName(dir.file("f.bin").c_str(), &size));
    EXPECT_EQ(70000u, size);
    EXPECT_FALSE(GetFileSizeByName(dir.file("none").c_str(), &size));
    EXPECT_EQ(0u, size);
    EXPECT_FALSE(GetFileSizeByName(NULL, &size));
    EXPECT_FALSE(GetFileSizeByName(dir.file("f.bin").c_str(), NULL));
}

/* A tree root\a.txt, root\sub\b.txt, root\sub\deeper\c.txt. */
static void makeTree(const std::string &root)
{
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((root + "\\sub").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((root + "\\sub\\deeper").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((root + "\\..odd").c_str(), NULL));
    ASSERT_TRUE(WriteWholeFile(root + "\\a.txt", "a"));
    ASSERT_TRUE(WriteWholeFile(root + "\\sub\\b.txt", "b"));
    ASSERT_TRUE(WriteWholeFile(root + "\\sub\\deeper\\c.txt", "c"));
    ASSERT_TRUE(WriteWholeFile(root + "\\..odd\\d.txt", "d"));
}

TEST(DeleteTree, RemovesEverything)
{
    ScratchDir dir("del");
    std::string root = dir.file("tree");
    makeTree(root);
    EXPECT_EQ(1, DeleteDirectoryTree(root.c_str()));
    EXPECT_FALSE(DirExistsA(root));
    EXPECT_EQ(0, DeleteDirectoryTree(root.c_str()));   /* gone: nothing to search */
}

TEST(DeleteTree, ParentReferencesShortAndNullPathsDeleteNothing)
{
    vqt::ScratchLog log;
    ScratchDir dir("delp");
    std::string root = dir.file("tree");
    makeTree(root);
    EXPECT_EQ(0, DeleteDirectoryTree((root + "\\sub\\..").c_str()));
    EXPECT_EQ(0, DeleteDirectoryTree((root + "\\sub\\..\\sub").c_str()));
    EXPECT_EQ(0, DeleteDirectoryTree((root + "/sub/../sub").c_str()));
    EXPECT_TRUE(log.has("[INFO] Path contains \\.. or /.. So wont proceed with delete directory.\n"));
    EXPECT_EQ(0, DeleteDirectoryTree("..\\tree"));
    EXPECT_EQ(0, DeleteDirectoryTree("C:\\"));
    EXPECT_EQ(0, DeleteDirectoryTree(""));
    EXPECT_EQ(0, DeleteDirectoryTree(NULL));
    EXPECT_TRUE(FileExistsA(root + "\\sub\\deeper\\c.txt"));
    EXPECT_TRUE(FileExistsA(root + "\\a.txt"));
}

TEST(DeleteTree, PartialFailureGoesOnAndReportsZero)
{
    ScratchDir dir("delf");
    std::string root = dir.file("tree");
    makeTree(root);
    /* An open, unshared file cannot be deleted; the rest still goes. */
    HANDLE held = CreateFileA((root + "\\sub\\b.txt").c_str(), GENERIC_READ, 0, NULL,
                              OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(0, DeleteDirectoryTree(root.c_str()));
    CloseHandle(held);
    EXPECT_FALSE(FileExistsA(root + "\\a.txt"));
    EXPECT_FALSE(DirExistsA(root + "\\sub\\deeper"));
    EXPECT_TRUE(FileExistsA(root + "\\sub\\b.txt"));
}

/* Wine's own converter from a Windows path to a host path; absent on
 * Windows. */
typedef char *(CDECL *UnixNameFn)(LPCWSTR);

static UnixNameFn unixNameFn()
{
    return (UnixNameFn)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
}

static bool isLink(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

/* Runs a host program under Wine (Wine starts host binaries as processes)
 * and waits until `done` holds or 10 s pass. */
static bool runHost(const std::string &cmd, bool (*done)(const std::string &), const std::string &path)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    std::string line = cmd;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int i = 0; i < 100 && !done(path); i++)
        Sleep(100);
    return done(path);
}

/* Makes `link` a folder link to `target` with what this system supports:
 * a directory symbolic link, a junction, or (under Wine, which has neither)
 * a host symbolic link, which Wine shows as a reparse point. Returns how, or
 * "" when nothing worked. */
static std::string makeFolderLink(const std::string &link, const std::string &target)
{
    typedef BOOLEAN(WINAPI * CreateLinkFn)(LPCSTR, LPCSTR, DWORD);
    CreateLinkFn createLink =
        (CreateLinkFn)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA");
    if (createLink && createLink(link.c_str(), target.c_str(), 0x1 | 0x2) && isLink(link))
        return "symbolic link";
    if (CreateDirectoryA(link.c_str(), NULL)) {
        HANDLE h = CreateFileA(link.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
        std::wstring sub = L"\\??\\" + widen(target), print = widen(target);
        BYTE data[4096] = {};
        DWORD *tag = (DWORD *)data;
        USHORT *hdr = (USHORT *)(data + 4);
        USHORT subLen = (USHORT)(sub.size() * 2), printLen = (USHORT)(print.size() * 2);
        tag[0] = IO_REPARSE_TAG_MOUNT_POINT;
        hdr[0] = (USHORT)(8 + subLen + 2 + printLen + 2);
        hdr[2] = 0; hdr[3] = subLen; hdr[4] = (USHORT)(subLen + 2); hdr[5] = printLen;
        memcpy(data + 16, sub.c_str(), subLen);
        memcpy(data + 16 + subLen + 2, print.c_str(), printLen);
        DWORD got = 0;
        BOOL ok = h != INVALID_HANDLE_VALUE &&
                  DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, data, 8 + hdr[0], NULL, 0, &got, NULL);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        if (ok && isLink(link))
            return "junction";
        RemoveDirectoryA(link.c_str());
    }
    UnixNameFn unixName = unixNameFn();
    if (unixName && GetFileAttributesA("Z:\\bin\\ln") != INVALID_FILE_ATTRIBUTES) {
        char *hostTarget = unixName(widen(target).c_str());
        char *hostLink = unixName(widen(link).c_str());
        bool ok = hostTarget && hostLink &&
                  runHost(std::string("Z:\\bin\\ln -s ") + hostTarget + " " + hostLink, isLink, link);
        HeapFree(GetProcessHeap(), 0, hostTarget);
        HeapFree(GetProcessHeap(), 0, hostLink);
        if (ok)
            return "host symbolic link";
    }
    return "";
}

/* Removes a link made by makeFolderLink, whatever kind it is. */
static void removeFolderLink(const std::string &link)
{
    if (RemoveDirectoryA(link.c_str()) || !isLink(link))
        return;
    UnixNameFn unixName = unixNameFn();
    char *hostLink = unixName ? unixName(widen(link).c_str()) : NULL;
    if (hostLink)
        runHost(std::string("Z:\\bin\\rm -f ") + hostLink,
                [](const std::string &p) { return !isLink(p); }, link);
    HeapFree(GetProcessHeap(), 0, hostLink);
}

TEST(DeleteTree, NeverDescendsThroughAFolderLink)
{
    ScratchDir dir("dell");
    std::string outside = dir.file("outside");
    ASSERT_TRUE(CreateDirectoryA(outside.c_str(), NULL));
    ASSERT_TRUE(WriteWholeFile(outside + "\\keep.txt", "precious"));
    std::string root = dir.file("tree");
    makeTree(root);
    std::string how = makeFolderLink(root + "\\sub\\link", outside);
    if (how.empty())
        GTEST_SKIP() << "no way to make a folder link on this system";
    printf("folder link made as: %s\n", how.c_str());
    std::string topLink = dir.file("toplink");
    ASSERT_EQ(how, makeFolderLink(topLink, outside));

    int inner = DeleteDirectoryTree(root.c_str());
    int top = DeleteDirectoryTree(topLink.c_str());
    /* The target's contents are never touched, whatever became of the link. */
    EXPECT_EQ("precious", ReadWholeFile(outside + "\\keep.txt")) << how;
    EXPECT_FALSE(FileExistsA(root + "\\sub\\deeper\\c.txt"));
    if (how == "host symbolic link") {
        /* Wine 8 cannot remove a host link through the Win32 calls (it
         * answers ERROR_DIR_NOT_EMPTY), so the removal is reported failed. */
        EXPECT_EQ(0, inner);
        EXPECT_EQ(0, top);
    } else {
        EXPECT_EQ(1, inner);
        EXPECT_EQ(1, top);
        EXPECT_FALSE(DirExistsA(root));
    }
    removeFolderLink(root + "\\sub\\link");
    removeFolderLink(topLink);
}

TEST(FileWriters, AppendLineCreatesFolderAndFileAndWritesTextAsData)
{
    vqt::ScratchLog log;
    ScratchDir dir("app");
    std::string path = dir.file("new\\sub\\out.log");
    EXPECT_EQ(0u, AppendLineCreatingFile(path.c_str(), "100% done %s %n %d"));
    EXPECT_EQ(0u, AppendLineCreatingFile(path.c_str(), "second"));
    /* Text mode: each line ends in "\r\n" on disk. */
    EXPECT_EQ("100% done %s %n %d\r\nsecond\r\n", ReadWholeFile(path));
    EXPECT_TRUE(log.has("[INFO] Message : "));   /* the creation's code, 0 */
    EXPECT_EQ(13u, AppendLineCreatingFile(NULL, "x"));
    EXPECT_EQ(13u, AppendLineCreatingFile(path.c_str(), NULL));
    /* A folder that cannot be made: the creation's error, not success. */
    ASSERT_TRUE(WriteWholeFile(dir.file("plain"), "f"));
    EXPECT_NE(0u, AppendLineCreatingFile(dir.file("plain\\x.log").c_str(), "x"));
}

TEST(FileWriters, FormattedAndWriteIfNew)
{
    ScratchDir dir("fmt");
    std::string path = dir.file("f.txt");
    AppendFormattedToFile(path.c_str(), "%s=%d;", "a", 1);
    AppendFormattedToFile(path.c_str(), "%s", std::string(10000, 'q').c_str());
    EXPECT_EQ("a=1;" + std::string(10000, 'q'), ReadWholeFile(path));
    AppendFormattedToFile(NULL, "%d", 1);

    std::string header = dir.file("h.txt");
    WriteIfNewFile(header.c_str(), "Date,Time\n");
    WriteIfNewFile(header.c_str(), "again\n");
    EXPECT_EQ("Date,Time\r\n", ReadWholeFile(header));
    WriteIfNewFile(NULL, "x");
}

TEST(FileUtil, OverlongPathsGiveCodesNotCrashes)
{
    ScratchDir dir("long");
    std::string longPath = dir.file(std::string(40000, 'n')) + "\\f.txt";
    EXPECT_EQ(2u, CheckFileExists(longPath.c_str()));
    EXPECT_EQ(0, DeleteDirectoryTree(longPath.c_str()));
    EXPECT_NE(0u, AppendLineCreatingFile(longPath.c_str(), "x"));
    ULONGLONG size = 1;
    EXPECT_FALSE(GetFileSizeByName(longPath.c_str(), &size));
    /* Refused before SHCreateDirectoryExW, which under Wine 8 would cut the
     * path at MAX_PATH and make that folder instead. */
    EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, CreateFolder(widen(longPath).c_str(), FALSE));
    EXPECT_EQ(1, DeleteDirectoryTree(dir.path().c_str()));
}

TEST(DeleteTree, NonUtf8NamesAreRemovedToo)
{
    ScratchDir dir("odd");
    std::string root = dir.file("tree");
    makeTree(root);
    /* Names given in the ANSI code page, which are not UTF-8. */
    std::string odd = root + "\\odd\xFF\xFE";
    ASSERT_TRUE(CreateDirectoryA(odd.c_str(), NULL));
    ASSERT_TRUE(WriteWholeFile(odd + "\\\xE9t\xE9.txt", "x"));
    EXPECT_EQ(1, DeleteDirectoryTree(root.c_str()));
    EXPECT_FALSE(DirExistsA(root));
}
