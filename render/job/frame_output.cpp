// Frame files and movies of a render job.
#include "render/job/frame_output.h"

#include "imaging/formats/image_buffer.h"
#include "imaging/formats/image_formats.h"
#include "model/math/result.h"

FrameOutput::~FrameOutput() { abort(); }

int FrameOutput::open(const RenderJobOptions& o, int32_t width, int32_t height, int32_t frames,
                      std::string* failed) {
    opt_ = o;
    width_ = width, height_ = height;
    *failed = o.output;
    if (o.output_kind == kOutputFlic) {
        int err = 0;
        flic_ = flic_open(o.output.c_str(), frames, 15, width, height, &err);
        return flic_ ? 0 : err;
    }
    if (o.output_kind == kOutputAvi) {
        AviOptions ao;
        ao.codec = o.avi_codec == 1 ? AviCodec::Mjpeg : AviCodec::Dib;
        const int err = avi_.open(o.output.c_str(), width, height, ao);
        avi_open_ = err == 0;
        return err;
    }
    if (o.output_kind >= kOutputTarga && o.output_kind <= kOutputBmp && o.output.empty()) return kBadArgument;
    return 0;
}

int FrameOutput::add(const uint8_t* rgb, int32_t frame, std::string* failed) {
    *failed = opt_.output;
    switch (opt_.output_kind) {
        case kOutputFlic:
            return flic_ ? flic_add_frame(flic_, rgb) : 0;
        case kOutputAvi:
            return avi_open_ ? avi_.add_frame(rgb) : 0;
        case kOutputTarga:
        case kOutputJpeg:
        case kOutputGif:
        case kOutputBmp: {
            *failed = render_job_frame_name(opt_.output, opt_.frame_count, frame);
            ByteSink sink;
            int err = 0;
            switch (opt_.output_kind) {
                case kOutputTarga: err = tga_encode24(rgb, width_, height_, &sink); break;
                case kOutputJpeg: err = jpg_encode(rgb, width_, height_, kJpegSaveQuality, &sink); break;
                case kOutputGif: err = gif_encode(rgb, width_, height_, &sink); break;
                default: err = bmp_encode(rgb, width_, height_, &sink); break;
            }
            if (!err && sink.failed()) err = kOutOfMemory;
            return err ? err : image_file_write(failed->c_str(), sink.data(), sink.size());
        }
        default:
            return 0;
    }
}

int FrameOutput::close(std::string* failed) {
    *failed = opt_.output;
    int err = 0;
    if (flic_) err = flic_close(flic_);
    if (avi_open_) {
        avi_open_ = false;
        err = avi_.close();
    }
    return err;
}

void FrameOutput::abort() {
    flic_abort(flic_);
    if (avi_open_) avi_.abort();
    avi_open_ = false;
}
