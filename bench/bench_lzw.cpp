// LZW encode and decode throughput of our coder (9 to 12-bit codes, as the drawing
// file uses it), measured beside the system's `compress -b 12` and `uncompress` on the
// same bytes. Inputs: 8 MiB of drawing-like bytes, 8 MiB of random bytes, and the
// plain file of the file benchmarks' 1,000,000-object drawing (about 141 MB).
// The peers run as child processes reading their input from a file in a scratch folder
// (in the page cache after the first run) and writing to /dev/null, as our coder
// writes to memory. Times are CPU times, which a busy machine disturbs far less than
// wall time: the peers' rows give the child's user + system time (starting the process
// included, about a millisecond against tens of milliseconds of work), ours the
// thread's. The Beside rows run our coder and the peer in every iteration on the same
// bytes and print both and x_peer (the peer's CPU time over ours: above 1, ours is
// faster). Pin the program to one core (taskset -c N): a child inherits the pinning.
// Our coder is also measured through the file streams. A peer missing from the PATH
// is skipped with a message.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/line_work_drawing.h"
#include "model/lzw/lzw.h"
#include "model/services/log.h"
#include "model/stream/iorec.h"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes shaped like a drawing file body: chunk headers, varints, names and runs of
// 4-byte float coordinates on a drawing grid with some noise.
Bytes drawing_like(size_t size) {
    std::mt19937 rng(12345);
    Bytes b;
    b.reserve(size + 256);
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    while (b.size() < size) {
        b.push_back(0x09);
        put32(60 + rng() % 40);
        const char* name = "\x05ELARC";
        b.insert(b.end(), name, name + 6);
        b.push_back(static_cast<uint8_t>(rng() % 16));
        const int points = 2 + static_cast<int>(rng() % 6);
        for (int i = 0; i < points * 3; ++i) {
            const float f = static_cast<float>(rng() % 200) * 0.5f +
                            (rng() % 4 == 0 ? 0.001f * (rng() % 7) : 0);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            put32(bits);
        }
    }
    b.resize(size);
    return b;
}

Bytes random_bytes(size_t size) {
    std::mt19937 rng(777);
    Bytes b(size);
    for (auto& x : b) x = static_cast<uint8_t>(rng());
    return b;
}

// The bytes of the file benchmarks' drawing saved plain.
Bytes saved_drawing() {
    log_set_level(LogLevel::error);
    const std::string path = "/tmp/zelo_bench_lzw_" + std::to_string(getpid()) + ".qvm";
    Bytes b;
    if (drawing_file_save(path.c_str(), bench::line_work(), 0) == 0) {
        std::ifstream f(path, std::ios::binary);
        b.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::remove(path.c_str());
    return b;
}

// 0: drawing-like, 1: random, 2: the saved 1,000,000-object drawing.
const Bytes& input(int kind) {
    static const Bytes drawing = drawing_like(8u << 20);
    static const Bytes noise = random_bytes(8u << 20);
    if (kind == 2) {
        static const Bytes saved = saved_drawing();
        return saved;
    }
    return kind == 0 ? drawing : noise;
}

const char* input_label(int kind) {
    return kind == 0 ? "drawing-like" : kind == 1 ? "random" : "saved 1M-object drawing";
}

struct Sink {
    Bytes* out;
};
int sink_cb(uint8_t* buf, int count, int, void* ctx) {
    auto* s = static_cast<Sink*>(ctx);
    s->out->insert(s->out->end(), buf, buf + count);
    return count;
}
struct Source {
    const Bytes* in;
    size_t pos;
};
int source_cb(uint8_t* buf, int count, int, void* ctx) {
    auto* s = static_cast<Source*>(ctx);
    const size_t n = std::min(static_cast<size_t>(count), s->in->size() - s->pos);
    if (n) std::memcpy(buf, s->in->data() + s->pos, n);
    s->pos += n;
    return static_cast<int>(n);
}

// Codes `in` into `out` (emptied first; its memory is kept between runs, as the
// peers' /dev/null costs them no fresh pages either).
void encode_into(const Bytes& in, Bytes& out) {
    out.clear();
    out.reserve(in.size());
    Sink sink{&out};
    LzwCoder* c = lzw_create(&sink_cb, &sink, 9, 12, kLzwEncode, 0, 0);
    lzw_write(c, in.data(), in.size());
    lzw_flush(c);
    lzw_close(c);
}

Bytes encode(const Bytes& in) {
    Bytes out;
    encode_into(in, out);
    return out;
}

void BM_LzwEncode(benchmark::State& state) {
    const Bytes& in = input(static_cast<int>(state.range(0)));
    size_t packed = 0;
    Bytes out;
    for (auto _ : state) {
        encode_into(in, out);
        packed = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(in.size());
    state.SetLabel(input_label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_LzwEncode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Decodes `code` into `out` (sized for the whole input); the bytes decoded.
size_t decode_into(const Bytes& code, Bytes& out) {
    Source src{&code, 0};
    LzwCoder* c = lzw_create(&source_cb, &src, 9, 12, kLzwDecode, 0, 0);
    const size_t n = lzw_read(c, out.data(), out.size());
    lzw_close(c);
    benchmark::DoNotOptimize(out.data());
    return n;
}

void BM_LzwDecode(benchmark::State& state) {
    const Bytes& in = input(static_cast<int>(state.range(0)));
    const Bytes code = encode(in);
    Bytes out(in.size());
    for (auto _ : state) {
        if (decode_into(code, out) != in.size()) state.SkipWithError("decoded size differs");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.SetLabel(input_label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_LzwDecode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// ---- Through files, and the system's tools

struct Scratch {
    std::string dir;
    Scratch() {
        char tmpl[] = "/tmp/zelo_bench_lzw_XXXXXX";
        dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    }
    ~Scratch() {
        for (const char* n : {"/in", "/in.Z", "/d.qvm"}) std::remove((dir + n).c_str());
        rmdir(dir.c_str());
    }
    std::string path(const char* name) const { return dir + "/" + name; }
};

void put_file(const std::string& path, const Bytes& b) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

bool on_path(const char* tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string d =
            dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!d.empty() && access((d + "/" + tool).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

// Runs `argv` with stdin from `in` and stdout to `out`; the exit status, or -1. The
// child's user + system time goes to `cpu_seconds` when given.
int run_tool(const std::vector<const char*>& argv, const std::string& in, const std::string& out,
             double* cpu_seconds = nullptr) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const char* a : argv) args.push_back(const_cast<char*>(a));
    args.push_back(nullptr);
    pid_t pid;
    const int r = posix_spawnp(&pid, argv[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (r != 0) return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) return -1;
    if (cpu_seconds) {
        *cpu_seconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

bool have_peers(benchmark::State& state) {
    if (on_path("compress") && on_path("uncompress")) return true;
    state.SkipWithError("compress/uncompress not found (Debian package ncompress): peer skipped");
    return false;
}

// compress exits with 2 when the output is larger than the input; still done.
int compress_to(const std::string& in, const std::string& out, double* cpu_seconds = nullptr) {
    const int r = run_tool({"compress", "-f", "-b", "12", "-c"}, in, out, cpu_seconds);
    return r == 2 ? 0 : r;
}

void BM_CompressPeer(benchmark::State& state) {
    if (!have_peers(state)) return;
    const Bytes& in = input(static_cast<int>(state.range(0)));
    Scratch s;
    put_file(s.path("in"), in);
    for (auto _ : state) {
        double cpu = 0;
        if (compress_to(s.path("in"), "/dev/null", &cpu) != 0) state.SkipWithError("compress failed");
        state.SetIterationTime(cpu);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.SetLabel(input_label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_CompressPeer)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_UncompressPeer(benchmark::State& state) {
    if (!have_peers(state)) return;
    const Bytes& in = input(static_cast<int>(state.range(0)));
    Scratch s;
    put_file(s.path("in"), in);
    if (compress_to(s.path("in"), s.path("in.Z")) != 0) {
        state.SkipWithError("compress failed");
        return;
    }
    for (auto _ : state) {
        double cpu = 0;
        if (run_tool({"uncompress", "-c"}, s.path("in.Z"), "/dev/null", &cpu) != 0)
            state.SkipWithError("uncompress failed");
        state.SetIterationTime(cpu);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.SetLabel(input_label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_UncompressPeer)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseManualTime();

// Our coder and the peer on the same bytes in every iteration, by CPU time. Arguments:
// the input, then 0 to encode (against compress) or 1 to decode (against uncompress).
void BM_LzwBesidePeer(benchmark::State& state) {
    if (!have_peers(state)) return;
    const int kind = static_cast<int>(state.range(0));
    const bool decode = state.range(1) != 0;
    const Bytes& in = input(kind);
    Scratch s;
    put_file(s.path("in"), in);
    if (decode && compress_to(s.path("in"), s.path("in.Z")) != 0) {
        state.SkipWithError("compress failed");
        return;
    }
    const Bytes code = decode ? encode(in) : Bytes();
    Bytes out(decode ? in.size() : 0);
    double ours = 0, peer = 0;
    for (auto _ : state) {
        const double start = thread_cpu_seconds();
        if (decode) {
            if (decode_into(code, out) != in.size()) state.SkipWithError("decoded size differs");
        } else {
            encode_into(in, out);
        }
        ours += thread_cpu_seconds() - start;
        double cpu = 0;
        const int r = decode ? run_tool({"uncompress", "-c"}, s.path("in.Z"), "/dev/null", &cpu)
                             : compress_to(s.path("in"), "/dev/null", &cpu);
        if (r != 0) state.SkipWithError("peer failed");
        peer += cpu;
    }
    const double n = double(state.iterations());
    state.counters["ours_cpu_ms"] = 1e3 * ours / n;
    state.counters["peer_cpu_ms"] = 1e3 * peer / n;
    state.counters["x_peer"] = peer / ours;
    state.SetLabel(std::string(decode ? "decode, " : "encode, ") + input_label(kind));
}
BENCHMARK(BM_LzwBesidePeer)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// Our coder on the same footing as the peers: the LZW pass over a plain file on disk.
void BM_LzwPackFile(benchmark::State& state) {
    const Bytes& in = input(static_cast<int>(state.range(0)));
    Bytes file = {1, 0, 0, 0, 112, 0, 0, 0, 0, 0, 0, 0};
    file.insert(file.end(), in.begin(), in.end());
    Scratch s;
    for (auto _ : state) {
        state.PauseTiming();
        put_file(s.path("d.qvm"), file);
        state.ResumeTiming();
        if (lzw_pack_file(s.path("d.qvm").c_str()) != 0) state.SkipWithError("pack failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
    state.SetLabel(input_label(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_LzwPackFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
