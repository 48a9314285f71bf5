/* The physical limit of the "sortDir" collection: a bare depth-first walk with getdents64 and d_type that
 * skips hidden names, never follows links, and prints the paths whose extension is one of the fourteen of
 * the sort set (compared exactly). No .hidden lists, no package rule: the least work that gives the answer.
 * With "all" after the folder it prints every visible file, as the "renameDir" collection gives them.
 * Built as C++ with -DINTO_LUA (g++ -x c++ ... -llua5.4-c++) it puts the paths into a Lua table of the
 * library that quodrix uses, instead of printing them, and closes the state: the floor of a collection
 * whose result a script receives as a table of strings. */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef INTO_LUA
#include <lua5.4/lua.hpp>
static lua_State* L;
#endif

static char const* const kSet[] = { "jpg", "jpeg", "tif", "tiff", "pdf", "png", "gif", "JPG", "JPEG", "TIF",
    "TIFF", "PDF", "PNG", "GIF" };
static long found;
static int everyFile;

static int collected(char const* name)
{
    if (everyFile)
        return 1;
    char const* dot = strrchr(name, '.');
    if (!dot)
        return 0;
    for (size_t i = 0; i < sizeof kSet / sizeof kSet[0]; ++i)
        if (strcmp(dot + 1, kSet[i]) == 0)
            return 1;
    return 0;
}

static void walk(char* path, size_t length)
{
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    char buffer[65536];
    long n;
    /* The entries of one folder are read whole before descending, as a walker holding no fd per level does. */
    size_t cap = 1 << 16, used = 0;
    char* names = (char*)malloc(cap);
    while ((n = getdents64(fd, buffer, sizeof buffer)) > 0) {
        for (long off = 0; off < n;) {
            struct dirent64* e = (struct dirent64*)(buffer + off);
            off += e->d_reclen;
            if (e->d_name[0] == '.')
                continue;
            unsigned char type = e->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                type = fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
            }
            size_t len = strlen(e->d_name);
            if (used + len + 2 > cap) {
                cap *= 2;
                names = (char*)realloc(names, cap);
            }
            names[used++] = (char)type;
            memcpy(names + used, e->d_name, len + 1);
            used += len + 1;
        }
    }
    close(fd);
    for (size_t i = 0; i < used;) {
        unsigned char type = (unsigned char)names[i++];
        char const* name = names + i;
        size_t len = strlen(name);
        i += len + 1;
        path[length] = '/';
        memcpy(path + length + 1, name, len + 1);
        if (type == DT_DIR)
            walk(path, length + 1 + len);
        else if (collected(name)) {
            ++found;
#ifdef INTO_LUA
            lua_pushlstring(L, path, length + 1 + len);
            lua_rawseti(L, 1, found);
#else
            fputs(path, stdout);
            fputc('\n', stdout);
#endif
        }
    }
    path[length] = '\0';
    free(names);
}

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 3 && strcmp(argv[2], "all") == 0)) {
        fprintf(stderr, "usage: walk FOLDER [all]\n");
        return 2;
    }
    everyFile = argc == 3;
    static char path[1 << 16];
    size_t length = strlen(argv[1]);
    memcpy(path, argv[1], length + 1);
    static char out[1 << 20];
    setvbuf(stdout, out, _IOFBF, sizeof out);
#ifdef INTO_LUA
    L = luaL_newstate();
    lua_newtable(L);
    walk(path, length);
    lua_close(L);
#else
    walk(path, length);
#endif
    fflush(stdout);
    fprintf(stderr, "%ld\n", found);
    return 0;
}
