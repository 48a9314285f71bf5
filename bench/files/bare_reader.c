/* The bare C reader: reads a rename list whole and splits it into pointer pairs, one per line that holds
   the separator exactly once. Lines end at CR or LF; empty lines are skipped. Prints the pair count and
   the time taken in milliseconds (read and split). */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

struct pair {
    const char *present;
    size_t present_length;
    const char *renamed;
    size_t renamed_length;
};

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    char separator = ';';
    double start = now_ms();
    FILE *f = fopen(argv[1], "rb");
    if (!f)
        return 1;
    fseek(f, 0, SEEK_END);
    long size = ftell(f);
    fseek(f, 0, SEEK_SET);
    char *text = malloc((size_t)size + 1);
    if (!text || fread(text, 1, (size_t)size, f) != (size_t)size)
        return 1;
    fclose(f);

    size_t capacity = 1024, count = 0;
    struct pair *pairs = malloc(capacity * sizeof *pairs);
    const char *p = text, *end = text + size;
    while (p < end) {
        const char *line = p;
        while (p < end && *p != '\n' && *p != '\r')
            ++p;
        const char *line_end = p++;
        if (line_end == line)
            continue;
        const char *first = memchr(line, separator, (size_t)(line_end - line));
        if (!first || memchr(first + 1, separator, (size_t)(line_end - first - 1)))
            continue;
        if (count == capacity) {
            capacity *= 2;
            pairs = realloc(pairs, capacity * sizeof *pairs);
        }
        pairs[count++] = (struct pair) { line, (size_t)(first - line), first + 1, (size_t)(line_end - first - 1) };
    }
    double elapsed = now_ms() - start;
    printf("%zu %.1f\n", count, elapsed);
    free(pairs);
    free(text);
    return 0;
}
