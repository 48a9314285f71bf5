/* The plain loop that pattern renaming is measured against: every visible name of FOLDER that begins with
 * FROM gets TO in its place, renamed in place with one renameat(2) a file. The names are read first, so
 * that a new name is never read back as one to rename. */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: renameat_inplace FOLDER FROM TO\n");
        return 2;
    }
    int folder = open(argv[1], O_RDONLY | O_DIRECTORY);
    DIR* dir = folder < 0 ? NULL : fdopendir(dup(folder));
    if (!dir) {
        perror("open");
        return 1;
    }
    size_t count = 0, capacity = 1024;
    char** names = malloc(capacity * sizeof *names);
    struct dirent* e;
    while ((e = readdir(dir))) {
        if (e->d_name[0] == '.')
            continue;
        if (count == capacity)
            names = realloc(names, (capacity *= 2) * sizeof *names);
        names[count++] = strdup(e->d_name);
    }
    closedir(dir);
    char const* from = argv[2];
    char const* to = argv[3];
    size_t fromLength = strlen(from), toLength = strlen(to);
    long renamed = 0, failed = 0;
    char name[4096];
    for (size_t i = 0; i < count; ++i) {
        size_t length = strlen(names[i]);
        if (strncmp(names[i], from, fromLength) != 0 || length - fromLength + toLength + 1 > sizeof name)
            continue;
        memcpy(name, to, toLength);
        memcpy(name + toLength, names[i] + fromLength, length - fromLength + 1);
        if (renameat(folder, names[i], folder, name) == 0)
            ++renamed;
        else
            ++failed;
        free(names[i]);
    }
    free(names);
    fprintf(stderr, "%ld renamed, %ld failed\n", renamed, failed);
    return failed ? 1 : 0;
}
