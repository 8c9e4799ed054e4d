// Draws the four brand logos as 24-bit BMP files into the directory given as the argument. Run
// by the build, so that the pictures lie beside the program.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 50;

using Shape = std::function<bool(double x, double y)>; // x, y in -1..1, y up

void put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, unsigned v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

bool writeBmp(const std::string& path, unsigned background, unsigned foreground,
              const Shape& shape) {
    const int rowBytes = (kWidth * 3 + 3) & ~3;
    const unsigned imageBytes = rowBytes * kHeight;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + imageBytes);
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, kWidth);
    put32(out, kHeight);
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, imageBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int row = 0; row < kHeight; ++row) { // bottom-up
        for (int col = 0; col < kWidth; ++col) {
            // Four samples per pixel for smooth edges.
            int hits = 0;
            for (int s = 0; s < 4; ++s) {
                double x = (col + 0.25 + 0.5 * (s % 2)) / kWidth * 2 - 1;
                double y = (row + 0.25 + 0.5 * (s / 2)) / kHeight * 2 - 1;
                hits += shape(x, y * kHeight / kWidth) ? 1 : 0;
            }
            for (int shiftBits : {0, 8, 16}) { // blue, green, red
                unsigned b = (background >> shiftBits) & 0xFF, f = (foreground >> shiftBits) & 0xFF;
                out.push_back(static_cast<uint8_t>((b * (4 - hits) + f * hits) / 4));
            }
        }
        for (int pad = kWidth * 3; pad < rowBytes; ++pad)
            out.push_back(0);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brandgen OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    const unsigned blue = 0x0080FF, white = 0xFFFFFF, grey = 0x808080;
    auto ring = [](double x, double y) {
        double r = std::hypot(x, y);
        return (r > 0.62 && r < 0.9) || (std::fabs(x) < 0.12 && y > -0.75 && y < 0.45) ||
               (std::fabs(y - 0.38) < 0.1 && std::fabs(x) < 0.5);
    };
    auto diamond = [](double x, double y) {
        double d = std::fabs(x) + std::fabs(y);
        return (d < 0.95 && d > 0.6) || d < 0.25;
    };
    auto triangle = [](double x, double y) {
        return y > -0.8 && y < 0.9 && std::fabs(x) < (0.9 - y) * 0.55 &&
               !(y > -0.5 && y < 0.5 && std::fabs(x) < (0.5 - y) * 0.3);
    };
    auto squares = [](double x, double y) {
        double m = std::fmax(std::fabs(x), std::fabs(y));
        return (m < 0.9 && m > 0.72) || (m < 0.5 && m > 0.32) || m < 0.12;
    };
    bool ok = writeBmp(dir + "/talvor.bmp", blue, white, ring) &&
              writeBmp(dir + "/quenix.bmp", white, grey, diamond) &&
              writeBmp(dir + "/brimsa.bmp", blue, white, triangle) &&
              writeBmp(dir + "/ostrel.bmp", white, grey, squares);
    return ok ? 0 : 1;
}
