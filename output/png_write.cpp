// PNG output through libpng, tuned for speed.
#include "output/png_write.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <png.h>
#include <unistd.h>

// libpng's own handlers print to standard error; the caller reports instead.
static void quiet_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
static void quiet_warning(png_structp, png_const_charp) {}

bool png_write_rgb(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error) *error = path + ": " + strerror(errno);
        return false;
    }
    const bool ok = png_write_rgb_fd(fd, path, width, height, rgb, error);
    close(fd);
    return ok;
}

bool png_write_rgb_fd(int fd, const std::string& path, int width, int height, const uint8_t* rgb, std::string* error)
{
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    FILE* file = own >= 0 ? fdopen(own, "wb") : nullptr;
    if (!file) {
        if (error) *error = path + ": " + strerror(errno);
        if (own >= 0) close(own);
        return false;
    }
    errno = 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet_error, quiet_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        // libpng stops on a failed write too: report the system's reason when there is one.
        const int cause = errno != 0 && ferror(file) ? errno : 0;
        png_destroy_write_struct(&png, &info);
        fclose(file);
        if (error) *error = path + ": " + (cause ? strerror(cause) : "could not encode PNG");
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, PNG_ZLIB_LEVEL);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(png, info);
    for (int y = 0; y < height; y++) png_write_row(png, (png_const_bytep)(rgb + (size_t)y * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    const bool flushed = fflush(file) == 0;
    const int cause = errno;
    const bool closed = fclose(file) == 0;
    if (!(flushed && closed) && error) *error = path + ": " + strerror(flushed ? errno : cause);
    return flushed && closed;
}
