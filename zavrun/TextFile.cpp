#include "TextFile.h"

#include <cstdio>

namespace zavrun {

bool WriteTextFile(const std::string& path, const std::string& text) {
    FILE* file = fopen(path.c_str(), "wb");
    bool written = file && fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file)
        written = fclose(file) == 0 && written;
    return written;
}

std::string ReadTextFile(const std::string& path) {
    std::string text;
    if (FILE* file = fopen(path.c_str(), "rb")) {
        char buffer[65536];
        for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
            text.append(buffer, got);
        fclose(file);
    }
    return text;
}

} // namespace zavrun
