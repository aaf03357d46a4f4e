// libjpeg's errors and warnings as our libjpeg decoders take them: an error
// jumps back to the decoder's setjmp, a warning (corrupt data, a premature
// end) is counted and not printed.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

struct LibjpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;

    // Makes these the error handlers of `info`.
    void handle(jpeg_decompress_struct* info) {
        info->err = jpeg_std_error(&manager);
        manager.error_exit = jumpOut;
        manager.emit_message = countWarning;
    }

private:
    [[noreturn]] static void jumpOut(j_common_ptr info) {
        std::longjmp(reinterpret_cast<LibjpegErrors*>(info->err)->jump, 1);
    }
    static void countWarning(j_common_ptr info, int level) {
        if (level < 0) ++info->err->num_warnings;
    }
};
