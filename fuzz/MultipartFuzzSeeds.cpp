// Writes seed inputs for the patch-list fuzz target into the folder given:
// well-formed lists with CRLF and LF lines, and the broken shapes the parser
// refuses.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string input(const std::string& boundary, const std::string& body) {
    return std::string(1, static_cast<char>(boundary.size())) + boundary + body;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    const std::string hash = "0123456789abcdef0123456789abcdef01234567";
    const std::string line = "1000\t2000\t3\t4\t1.1\tnote\t512\t" + hash + "," + hash + "\thttp://p/1.mdl";
    const std::string head = "--XYZ\r\nContent-Type: text/plain\r\n\r\n";
    const std::vector<std::string> seeds = {
        input("XYZ", head + line + "\r\n" + line + "\r\n--XYZ--\r\n"),
        input("XYZ", head + line + "\n12abc\tabc\tu\n\n--XYZ--"),
        input("XYZ", head + "http://only\r\n\r\n--XYZ\r\nA: b\r\n\r\n" + line + "\r\n--XYZ--"),
        input("XYZ", "--XYZ\r\nA: b\r\n" + line + "\r\n--XYZ--"),
        input("XYZ", head + line),
        input("", "----\r\n\r\n\r\n--"),
    };
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(std::string(argv[1]) + "/seed-" + std::to_string(i), std::ios::binary);
        out << seeds[i];
        if (!out) return 1;
    }
    return 0;
}
