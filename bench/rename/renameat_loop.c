/* The plain loop that insert renaming is measured against: every visible file of SOURCE is moved into
 * DEST with TEXT inserted at byte POSITION of its name, one renameat(2) a file. The names are read first,
 * so that DEST may be SOURCE itself (renaming in place) without a renamed file coming round again. */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: renameat_loop SOURCE DEST TEXT POSITION\n");
        return 2;
    }
    int from = open(argv[1], O_RDONLY | O_DIRECTORY);
    int to = open(argv[2], O_RDONLY | O_DIRECTORY);
    DIR* dir = fdopendir(dup(from));
    if (from < 0 || to < 0 || !dir) {
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
        if (renameat(from, old, to, name) == 0)
            ++moved;
        else
            ++failed;
        free(names[i]);
    }
    free(names);
    fprintf(stderr, "%ld moved, %ld failed\n", moved, failed);
    return failed ? 1 : 0;
}
