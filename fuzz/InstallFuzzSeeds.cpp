// Writes a seed corpus for the installer fuzz target: small valid patches
// that reach every chunk kind and command.
#include <cstdio>
#include <string>

#include "MendrelWriter.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const std::string data(256, 'd');
    int failures = 0;
    auto save = [&](const mendrel::MendrelWriter& w, const char* name) {
        if (!w.save(dir + "/" + name)) ++failures;
    };
    mendrel::MendrelWriter old;
    old.fileHeader().apfs(1, 2).applyOption(1, 1).applyOption(2, 0);
    old.addData(0x0a, 0, 0, 1, data, 1).deleteData(0x0a, 0, 0, 0, 1).expandData(0x0a, 0, 1, 4, 2);
    old.headerWrite('D', 'V', 0x0a, 0, 0, std::string(1024, 'h')).end();
    save(old, "old-layout");
    mendrel::MendrelWriter release;
    release.fileHeader().target(mendrel::kPs3, 1, 256);
    release.addData(0x0b, 0x0100, 0, 0, data).deleteData(0x0a, 0, 0, 2, 2);
    release.fileAdd("data/a.bin", 0, mendrel::encodeFileBlocks(std::string(20000, 'c'), true, true));
    release.fileAdd("data/a.bin", 20000, mendrel::encodeFileBlocks(data, true, false));
    release.makeDirectory("data/new").fileDelete("zanthgame.ver").commandI().commandX();
    release.addDirectory("made/dir").deleteDirectory("made/dir").removeRelease("", 1).end();
    save(release, "release-layout");
    return failures == 0 ? 0 : 1;
}
