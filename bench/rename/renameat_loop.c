/* The plain loop that insert renaming is measured against: every visible file of SOURCE is moved into
 * DEST with TEXT inserted at byte POSITION of its name, one renameat(2) a file. The names are read first,
 * so that DEST may be SOURCE itself (renaming in place) without a renamed file coming round again.
 * With JOURNAL, the loop does the least that a journaled run must do for each file, as a floor: one
 * lstat of the file for its identity, its intent (both paths and the identity) written to JOURNAL before
 * the change, and the rename with RENAME_NOREPLACE. As quodrix does, the intents of BATCH files go out in
 * one write(2) before their renames. */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 5 && argc != 6) {
        fprintf(stderr, "usage: renameat_loop SOURCE DEST TEXT POSITION [JOURNAL]\n");
        return 2;
    }
    int from = open(argv[1], O_RDONLY | O_DIRECTORY);
    int to = open(argv[2], O_RDONLY | O_DIRECTORY);
    DIR* dir = fdopendir(dup(from));
    if (from < 0 || to < 0 || !dir) {
        perror("open");
        return 1;
    }
    int journal = argc == 6 ? open(argv[5], O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600) : -1;
    if (argc == 6 && journal < 0) {
        perror("open");
        return 1;
    }
    char const* text = argv[3];
    size_t textLength = strlen(text);
    size_t position = (size_t)atoi(argv[4]);
    char** names = NULL;
    size_t count = 0, capacity = 0;
    struct dirent* e;
    while ((e = readdir(dir))) {
        if (e->d_name[0] == '.')
            continue;
        if (count == capacity) {
            capacity = capacity ? 2 * capacity : 1024;
            names = realloc(names, capacity * sizeof *names);
            if (!names) {
                perror("realloc");
                return 1;
            }
        }
        names[count++] = strdup(e->d_name);
    }
    closedir(dir);
    enum { BATCH = 128 };
    long moved = 0, failed = 0;
    static char newNames[BATCH][4096];
    char* records = journal >= 0 ? malloc((size_t)BATCH * 3 * 4096) : NULL;
    for (size_t begin = 0; begin < count; begin += BATCH) {
        size_t end = begin + BATCH < count ? begin + BATCH : count;
        size_t used = 0;
        for (size_t i = begin; i < end; ++i) {
            char const* old = names[i];
            char* name = newNames[i - begin];
            size_t length = strlen(old);
            size_t at = position < length ? position : length;
            if (length + textLength + 1 > sizeof newNames[0]) {
                name[0] = '\0';
                continue;
            }
            memcpy(name, old, at);
            memcpy(name + at, text, textLength);
            memcpy(name + at + textLength, old + at, length - at + 1);
            if (records) {
                struct stat info;
                if (fstatat(from, old, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    memset(&info, 0, sizeof info);
                int n = snprintf(records + used, 3 * 4096, "I %zu move %s/%s %s/%s %lu:%lu:%lld:%lld\n", i + 1,
                    argv[1], old, argv[2], name, (unsigned long)info.st_dev, (unsigned long)info.st_ino,
                    (long long)info.st_size, (long long)info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec);
                if (n < 0 || n >= 3 * 4096) {
                    fprintf(stderr, "a record too long\n");
                    return 1;
                }
                used += (size_t)n;
            }
        }
        if (records && write(journal, records, used) != (ssize_t)used) {
            perror("write");
            return 1;
        }
        for (size_t i = begin; i < end; ++i) {
            char const* name = newNames[i - begin];
            int done = name[0] == '\0' ? -1
                : records                ? renameat2(from, names[i], to, name, RENAME_NOREPLACE)
                                         : renameat(from, names[i], to, name);
            if (done == 0)
                ++moved;
            else
                ++failed;
            free(names[i]);
        }
    }
    free(records);
    free(names);
    fprintf(stderr, "%ld moved, %ld failed\n", moved, failed);
    return failed ? 1 : 0;
}
