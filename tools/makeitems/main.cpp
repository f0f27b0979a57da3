// makeitems <items folder>: makes the item models, their textures and the
// item table again (the repository keeps the results in data/items/).
// makeitems --preview <png>: a contact sheet of the models, to look at them.
#include <cstdio>
#include <string>

#include "ItemPreview.h"
#include "ItemsFolder.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--preview") return WritePreviewSheet(argv[2]) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: makeitems <items folder> | --preview <png>\n");
        return 2;
    }
    if (!WriteItemsFolder(argv[1])) {
        std::fprintf(stderr, "makeitems: some files could not be written (see _error.txt)\n");
        return 1;
    }
    std::printf("makeitems: item files written to %s\n", argv[1]);
    return 0;
}
