/* The plain loop that insert renaming is measured against: every visible file of SOURCE is moved into
 * DEST with TEXT inserted at byte POSITION of its name, one renameat(2) a file. The names are read first,
 * so that DEST may be SOURCE itself (renaming in place) without a renamed file coming round again.
 * With JOURNAL, the loop does the least that a journaled run must do for each file, as a floor: one
 * lstat of the file for its identity, one write(2) of the intent (both paths and the identity) to JOURNAL
 * before the change, and the rename with RENAME_NOREPLACE. */
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
    long moved = 0, failed = 0;
    char name[4096];
    for (size_t i = 0; i < count; ++i) {
        char const* old = names[i];
        size_t length = strlen(old);
        size_t at = position < length ? position : length;
        if (length + textLength + 1 > sizeof name)
            continue;
        memcpy(name, old, at);
        memcpy(name + at, text, textLength);
        memcpy(name + at + textLength, old + at, length - at + 1);
        if (journal >= 0) {
            struct stat info;
            char record[3 * 4096];
            if (fstatat(from, old, &info, AT_SYMLINK_NOFOLLOW) != 0)
                memset(&info, 0, sizeof info);
            int n = snprintf(record, sizeof record, "I %zu move %s/%s %s/%s %lu:%lu:%lld:%lld\n", i + 1, argv[1], old,
                argv[2], name, (unsigned long)info.st_dev, (unsigned long)info.st_ino, (long long)info.st_size,
                (long long)info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec);
            if (n < 0 || write(journal, record, (size_t)n) != n) {
                perror("write");
                return 1;
            }
            if (renameat2(from, old, to, name, RENAME_NOREPLACE) == 0)
                ++moved;
            else
                ++failed;
        } else if (renameat(from, old, to, name) == 0)
            ++moved;
        else
            ++failed;
        free(names[i]);
    }
    free(names);
    fprintf(stderr, "%ld moved, %ld failed\n", moved, failed);
    return failed ? 1 : 0;
}
