// pngtoxpm: writes a PNG picture as XPM data in a C++ source file, the form
// in which the graphics library takes the window's icon. The build runs it
// on desktop/latticegraph.png, so the icon is kept once, as a PNG.
//
//   pngtoxpm <in.png> <out.cpp> <array-name>
#include <png.h>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// The characters that name a colour: printable, none that needs escaping in
// a C string.
static const std::string SYMBOLS =
    " .+@#$%&*=-;>,')!~{]^/(_:<[}|1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ`";

struct picture {
    int width = 0, height = 0;
    std::vector<unsigned> rgb;      // 0xRRGGBB, row after row
};

// Any PNG the library reads, as 8-bit RGB (alpha, palettes and grey
// expanded or dropped: the icon is opaque).
static bool readPNG(const char *path, picture &out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr))
        return false;
    out.width = (int)image.width;
    out.height = (int)image.height;
    for (size_t i = 0; i + 2 < bytes.size(); i += 3)
        out.rgb.push_back(bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2]);
    return true;
}

static std::string symbolOf(size_t index, int perPixel)
{
    std::string name;
    for (int i = 0; i < perPixel; i++, index /= SYMBOLS.size())
        name += SYMBOLS[index % SYMBOLS.size()];
    return name;
}

static bool writeXPM(const picture &p, FILE *out, const char *name)
{
    std::map<unsigned, size_t> colours;
    for (unsigned c : p.rgb)
        colours.emplace(c, colours.size());
    int perPixel = 1;
    for (size_t reach = SYMBOLS.size(); reach < colours.size(); reach *= SYMBOLS.size())
        perPixel++;
    fprintf(out, "// Made by pngtoxpm at build time; the source is the PNG.\n"
                 "extern const char *const %s[];\nconst char *const %s[] = {\n"
                 "\"%d %d %zu %d\",\n", name, name, p.width, p.height, colours.size(), perPixel);
    for (const auto &[rgb, index] : colours)
        fprintf(out, "\"%s c #%06X\",\n", symbolOf(index, perPixel).c_str(), rgb);
    for (int y = 0; y < p.height; y++) {
        fputc('"', out);
        for (int x = 0; x < p.width; x++)
            fputs(symbolOf(colours[p.rgb[(size_t)y * p.width + x]], perPixel).c_str(), out);
        fputs("\",\n", out);
    }
    fputs("};\n", out);
    return ferror(out) == 0;
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: pngtoxpm <in.png> <out.cpp> <array-name>\n");
        return 2;
    }
    picture p;
    if (!readPNG(argv[1], p)) {
        fprintf(stderr, "pngtoxpm: cannot read %s as a PNG picture\n", argv[1]);
        return 1;
    }
    FILE *out = fopen(argv[2], "w");
    bool written = out && writeXPM(p, out, argv[3]);
    if (out && fclose(out) != 0)
        written = false;
    if (!written) {
        fprintf(stderr, "pngtoxpm: cannot write %s\n", argv[2]);
        remove(argv[2]);
        return 1;
    }
    return 0;
}
