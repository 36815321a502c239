// The long boolean campaign: random pairs of the program's own solids (the pair of
// seed s is the same on every run), the four operations of each judged by the check
// written apart from the engine, in several worker processes. Prints right, refused
// (of those, "as input": input taken for no sound solid, code 42189) and wrong counts
// and the engine's time per placement and winding, the seeds of
// wrong results and of the first refusals of each class, and the seeds of operations
// still running after the time limit (the worker is killed and another one goes on
// with the next pairs) or whose worker died, and the refusals' diagnostics (numbers
// left out) counted, overall and by class.
//
// Usage: csg_campaign [pairs (100000) | @file of seeds] [workers (3)] [first seed (1)]
//                     [limit seconds (120)] [chain]
// With "chain", contacts and copies of every even seed are turned into a random frame
// (counted under "<placement> turned") and each right result is combined again with a
// third solid (campaign::run_chain); those second operations are counted under
// "then <class>". SIGINT or SIGTERM ends the run early with the counts so far.
// With CSG_CAMPAIGN_REFUSED=file in the environment, every refused operation is
// listed there, one a line: seed, operation, class, solids, diagnostic, why the exact
// cut gave way (tab-separated), to run the seeds of one cause again.
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "tests/boolean/campaign_solids.h"

namespace {

struct Tally {
    long right = 0, refused = 0, wrong = 0;
    long as_input = 0;  // of the refused: input taken for no sound solid (42189)
    double seconds = 0, slowest = 0;
    std::vector<uint64_t> refused_seeds;
};

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

constexpr int kMaxWorkers = 64;

// In memory shared by the parent and its workers: the next pair to take, and what
// each worker is running since when (0 when idle).
struct Shared {
    std::atomic<long> next{0};
    struct Slot {
        std::atomic<uint64_t> seed{0};
        std::atomic<double> since{0};
    } slot[kMaxWorkers];
};

// A worker's report, one line per operation: O, seed, class, solids, operation,
// verdict (solidcheck's order), the engine's code, engine seconds, reason, why the exact cut gave way; then P and the seed when the pair is
// done, or U when its inputs were not closed.
void append_op(std::string* out, uint64_t seed, const std::string& cls, const std::string& kinds,
               const std::string& op, const campaign::OpOutcome& o) {
    std::string why = o.why, gave_way = o.gave_way;
    for (std::string* s : {&why, &gave_way})
        for (char& c : *s)
            if (c == '\t' || c == '\n') c = ' ';
    char buf[64];
    std::snprintf(buf, sizeof buf, "\t%d\t%d\t%.6f\t", int(o.verdict), o.code, o.seconds);
    *out += "O\t" + std::to_string(seed) + "\t" + cls + "\t" + kinds + "\t" + op + buf + why + "\t" + gave_way + "\n";
}

bool write_all(int fd, const std::string& s) {
    size_t at = 0;
    while (at < s.size()) {
        const ssize_t n = write(fd, s.data() + at, s.size() - at);
        if (n <= 0) return false;
        at += size_t(n);
    }
    return true;
}

[[noreturn]] void work(Shared* shared, int slot, int fd, long pairs, const std::vector<uint64_t>& listed,
                       uint64_t first, bool chain) {
    signal(SIGINT, SIG_IGN);
    signal(SIGTERM, SIG_IGN);
    campaign::Maker maker(0);
    Shared::Slot& me = shared->slot[slot];
    for (;;) {
        const long i = shared->next++;
        if (i >= pairs) break;
        const uint64_t seed = listed.empty() ? first + uint64_t(i) : listed[size_t(i)];
        me.seed = seed;
        me.since = now();
        campaign::Pair p;
        if (chain) {
            p = campaign::chain_pair(maker, seed);
        } else {
            maker.reseed(seed);
            p = maker.pair();
        }
        campaign::ChainOutcome c;
        if (chain) c = campaign::run_chain(p, maker);
        else c.first = campaign::run_pair(p);
        me.since = 0;
        std::string out;
        if (!c.first.inputs_sound) {
            out = "U\t" + std::to_string(seed) + "\n";
        } else {
            const std::string cls = campaign::class_name(p),
                              kinds = std::string(campaign::kind_name(p.kind_a)) + "/" + campaign::kind_name(p.kind_b);
            for (int op = 0; op < 4; ++op) append_op(&out, seed, cls, kinds, "op " + std::to_string(op), c.first.op[op]);
            for (int op = 0; op < 4; ++op)
                if (c.ran[op])
                    for (int op2 = 0; op2 < 4; ++op2)
                        append_op(&out, seed, "then " + cls, "then " + kinds,
                                  "op " + std::to_string(op) + " then " + std::to_string(op2), c.again[op].op[op2]);
            out += "P\t" + std::to_string(seed) + "\n";
        }
        if (!write_all(fd, out)) break;
    }
    _exit(0);
}

// A refusal's diagnostic with its numbers (coordinates, counts, codes) made '#', so
// refusals of one cause count together.
std::string reason_of(const std::string& why) {
    std::string r;
    for (size_t i = 0; i < why.size();) {
        const char c = why[i];
        const bool starts = std::isdigit(static_cast<unsigned char>(c)) ||
                            ((c == '-' || c == '.') && i + 1 < why.size() &&
                             std::isdigit(static_cast<unsigned char>(why[i + 1])));
        if (!starts) {
            r += c, ++i;
            continue;
        }
        while (i < why.size() && (std::isdigit(static_cast<unsigned char>(why[i])) || why[i] == '.' ||
                                  why[i] == '-' || why[i] == 'e' || why[i] == '+'))
            ++i;
        r += '#';
    }
    while (!r.empty() && r.back() == ' ') r.pop_back();
    return r.empty() ? "(no diagnostic)" : r;
}

// The `top` most frequent reasons of `counts`, most frequent first, each with the
// first seeds that gave it when `seeds` has them.
void print_reasons(const std::map<std::string, long>& counts, size_t top, const char* indent,
                   const std::map<std::string, std::vector<std::string>>* seeds = nullptr) {
    std::vector<std::pair<long, std::string>> v;
    for (const auto& [why, n] : counts) v.push_back({-n, why});
    std::sort(v.begin(), v.end());
    for (size_t i = 0; i < v.size() && i < top; ++i) {
        std::printf("%s%7ld  %s\n", indent, -v[i].first, v[i].second.c_str());
        if (!seeds) continue;
        const auto at = seeds->find(v[i].second);
        if (at == seeds->end()) continue;
        std::printf("%s         seeds:", indent);
        for (const std::string& s : at->second) std::printf(" %s", s.c_str());
        std::printf("\n");
    }
    if (v.size() > top) std::printf("%s         (%zu more reasons)\n", indent, v.size() - top);
}

volatile sig_atomic_t stop_asked = 0;
void ask_stop(int) { stop_asked = 1; }

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> f;
    size_t at = 0;
    for (;;) {
        const size_t tab = line.find('\t', at);
        f.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos) return f;
        at = tab + 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<uint64_t> listed;  // seeds read from a file, to run those pairs again
    if (argc > 1 && argv[1][0] == '@') {
        if (FILE* f = std::fopen(argv[1] + 1, "r")) {
            unsigned long long s;
            while (std::fscanf(f, "%llu", &s) == 1) listed.push_back(s);
            std::fclose(f);
        }
    }
    const long pairs = !listed.empty() ? long(listed.size()) : argc > 1 ? std::atol(argv[1]) : 100000;
    const int workers = std::min(kMaxWorkers, std::max(1, argc > 2 ? std::atoi(argv[2]) : 3));
    const uint64_t first = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    const double limit = argc > 4 ? std::atof(argv[4]) : 120;
    const bool chain = argc > 5 && std::string(argv[5]) == "chain";
    rtc_register_all();
    void* mem = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) return 2;
    Shared* shared = new (mem) Shared;

    std::map<std::string, Tally> by_class;
    std::map<std::string, Tally> by_kinds;
    std::vector<std::string> wrongs;
    std::map<std::string, std::map<std::string, long>> reasons;  // by class, then by reason; "" for all
    std::map<std::string, std::vector<std::string>> reason_seeds;  // the first "seed/op" of each reason
    // Where the exact cut gave way to the cut of tolerances: by class, then by reason and
    // the operation's verdict; "" for all.
    std::map<std::string, std::map<std::string, long>> gave_way;
    std::vector<uint64_t> never_ends, died;
    FILE* refused_list = nullptr;
    if (const char* path = std::getenv("CSG_CAMPAIGN_REFUSED")) refused_list = std::fopen(path, "w");
    long done = 0;
    const double start = now();
    long handed_out = -1;  // pairs handed out when a stop was asked
    // CSG_CAMPAIGN_OPS names a file that takes every operation's line as the workers
    // report it (seed, class, solids, operation, verdict, code, seconds, reason, why
    // the exact cut gave way), to find the seeds of one reason.
    FILE* ops = nullptr;
    if (const char* name = std::getenv("CSG_CAMPAIGN_OPS")) ops = std::fopen(name, "w");

    // Counts one operation under its class and its solids.
    auto count = [&](const std::vector<std::string>& f) {
        if (f.size() < 9) return;
        const uint64_t seed = std::strtoull(f[1].c_str(), nullptr, 10);
        const auto verdict = solidcheck::Verdict(std::atoi(f[5].c_str()));
        const int code = std::atoi(f[6].c_str());
        const double seconds = std::atof(f[7].c_str());
        for (Tally* tl : {&by_class[f[2]], &by_kinds[f[3]]}) {
            tl->seconds += seconds;
            tl->slowest = std::max(tl->slowest, seconds);
            if (verdict == solidcheck::Verdict::right) ++tl->right;
            if (verdict == solidcheck::Verdict::wrong) ++tl->wrong;
            if (verdict == solidcheck::Verdict::refused) {
                ++tl->refused;
                if (code == 42189) ++tl->as_input;
                if (tl == &by_class[f[2]])
                    for (const std::string& k : {std::string(), f[2]}) ++reasons[k][reason_of(f[8])];
                if (tl == &by_class[f[2]]) {
                    std::vector<std::string>& seen = reason_seeds[reason_of(f[8])];
                    if (seen.size() < 12) seen.push_back(f[1] + "/" + f[4].substr(3));
                }
                if (tl->refused_seeds.size() < 8 && (tl->refused_seeds.empty() || tl->refused_seeds.back() != seed))
                    tl->refused_seeds.push_back(seed);
            }
        }
        if (refused_list && verdict == solidcheck::Verdict::refused)
            std::fprintf(refused_list, "%s\t%s\t%s\t%s\t%s\t%s\n", f[1].c_str(), f[4].c_str(), f[2].c_str(),
                         f[3].c_str(), f[8].c_str(), f.size() > 9 ? f[9].c_str() : "");
        if (f.size() > 9 && !f[9].empty()) {
            const std::string key = reason_of(f[9]) + " -> " + solidcheck::verdict_name(verdict);
            for (const std::string& k : {std::string(), f[2]}) ++gave_way[k][key];
        }
        if (verdict == solidcheck::Verdict::wrong)
            wrongs.push_back("seed " + f[1] + " " + f[4] + " " + f[2] + " " + f[3] + ": " + f[8]);
    };

    struct Worker {
        pid_t pid = -1;
        int fd = -1;
        std::string pending;
        bool killed = false;
    };
    std::vector<Worker> pool(static_cast<size_t>(workers));
    auto spawn = [&](int k) {
        Worker& w = pool[size_t(k)];
        w = Worker{};
        if (shared->next >= pairs) return;
        int fd[2];
        if (pipe(fd) != 0) return;
        shared->slot[k].since = 0;
        const pid_t pid = fork();
        if (pid == 0) {
            close(fd[0]);
            for (const Worker& o : pool)
                if (o.fd >= 0) close(o.fd);
            work(shared, k, fd[1], pairs, listed, first, chain);
        }
        close(fd[1]);
        if (pid < 0) {
            close(fd[0]);
            return;
        }
        w.pid = pid, w.fd = fd[0];
    };
    // SIGINT or SIGTERM: no more pairs are handed out; the running ones end and the
    // counts so far are printed. The workers pass them by (a Ctrl-C reaches them too).
    signal(SIGINT, ask_stop);
    signal(SIGTERM, ask_stop);
    for (int k = 0; k < workers; ++k) spawn(k);

    for (;;) {
        std::vector<pollfd> fds;
        std::vector<int> which;
        for (int k = 0; k < workers; ++k)
            if (pool[size_t(k)].fd >= 0) fds.push_back({pool[size_t(k)].fd, POLLIN, 0}), which.push_back(k);
        if (fds.empty()) break;
        if (stop_asked && handed_out < 0) handed_out = shared->next.exchange(pairs);
        poll(fds.data(), fds.size(), 200);
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const int k = which[i];
            Worker& w = pool[size_t(k)];
            char buf[65536];
            const ssize_t n = read(w.fd, buf, sizeof buf);
            if (n > 0) {
                w.pending.append(buf, size_t(n));
                size_t nl;
                while ((nl = w.pending.find('\n')) != std::string::npos) {
                    const std::vector<std::string> f = split(w.pending.substr(0, nl));
                    if (ops && f[0] == "O") std::fprintf(ops, "%s\n", w.pending.substr(0, nl).c_str());
                    w.pending.erase(0, nl + 1);
                    if (f[0] == "O") count(f);
                    if (f[0] == "P") ++done;
                    if (f[0] == "U" && f.size() > 1) wrongs.push_back("seed " + f[1] + ": inputs not closed");
                }
                continue;
            }
            // The worker ended: done, killed for the limit, or died.
            close(w.fd);
            int status = 0;
            waitpid(w.pid, &status, 0);
            const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            if (w.killed) never_ends.push_back(shared->slot[k].seed);
            else if (!clean) died.push_back(shared->slot[k].seed);
            spawn(k);
        }
        const double t = now();
        for (int k = 0; k < workers; ++k) {
            Worker& w = pool[size_t(k)];
            const double since = shared->slot[k].since;
            if (w.fd >= 0 && !w.killed && since > 0 && t - since > limit) {
                kill(w.pid, SIGKILL);
                w.killed = true;
            }
        }
    }

    auto table = [](const char* title, const std::map<std::string, Tally>& m) {
        std::printf("\n%-26s %8s %8s %8s %9s %10s %9s %8s\n", title, "right", "refused", "wrong", "refused%", "engine s",
                    "slowest s", "as input");
        Tally all;
        for (const auto& [k, t] : m) {
            const long n = t.right + t.refused + t.wrong;
            std::printf("%-26s %8ld %8ld %8ld %8.2f%% %10.1f %9.3f %8ld\n", k.c_str(), t.right, t.refused, t.wrong,
                        n ? 100.0 * t.refused / n : 0.0, t.seconds, t.slowest, t.as_input);
            all.right += t.right, all.refused += t.refused, all.wrong += t.wrong, all.seconds += t.seconds;
            all.as_input += t.as_input;
            all.slowest = std::max(all.slowest, t.slowest);
        }
        const long n = all.right + all.refused + all.wrong;
        std::printf("%-26s %8ld %8ld %8ld %8.2f%% %10.1f %9.3f %8ld\n", "all", all.right, all.refused, all.wrong,
                    n ? 100.0 * all.refused / n : 0.0, all.seconds, all.slowest, all.as_input);
    };
    if (listed.empty())
        std::printf("pairs %ld (seeds %llu..%llu), %d workers, %.1f s wall\n", long(done), (unsigned long long)first,
                    (unsigned long long)(first + uint64_t(pairs) - 1), workers, now() - start);
    else
        std::printf("pairs %ld (seeds from %s), %d workers, %.1f s wall\n", long(done), argv[1] + 1, workers,
                    now() - start);
    if (handed_out >= 0) std::printf("stopped early: the first %ld pairs handed out\n", std::min(handed_out, pairs));
    table("placement winding", by_class);
    table("solids", by_kinds);
    std::printf("\nfirst refused seeds by class:\n");
    for (const auto& [k, t] : by_class) {
        std::printf("  %-24s", k.c_str());
        for (uint64_t s : t.refused_seeds) std::printf(" %llu", (unsigned long long)s);
        std::printf("\n");
    }
    std::printf("\nrefusal reasons, all classes:\n");
    print_reasons(reasons[""], 20, "  ", &reason_seeds);
    std::printf("\nrefusal reasons by class:\n");
    for (const auto& [k, counts] : reasons) {
        if (k.empty()) continue;
        std::printf("  %s\n", k.c_str());
        print_reasons(counts, 5, "    ");
    }
    std::printf("\nexact cut gave way (reason -> verdict of the cut of tolerances), all classes:\n");
    print_reasons(gave_way[""], 30, "  ");
    std::printf("\nexact cut gave way by class:\n");
    for (const auto& [k, counts] : gave_way) {
        if (k.empty()) continue;
        std::printf("  %s\n", k.c_str());
        print_reasons(counts, 5, "    ");
    }
    std::printf("\nwrong results returned as success: %zu\n", wrongs.size());
    for (size_t i = 0; i < wrongs.size() && i < 1000; ++i) std::printf("  %s\n", wrongs[i].c_str());
    std::printf("never ended within %.0f s: %zu\n", limit, never_ends.size());
    for (uint64_t s : never_ends) std::printf("  seed %llu\n", (unsigned long long)s);
    std::printf("worker died: %zu\n", died.size());
    for (uint64_t s : died) std::printf("  seed %llu\n", (unsigned long long)s);
    if (refused_list) std::fclose(refused_list);
    std::fflush(stdout);
    if (ops) std::fclose(ops);
    return wrongs.empty() && never_ends.empty() && died.empty() ? 0 : 1;
}
