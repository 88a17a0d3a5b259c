// The MPI body, linked into quorlane-mpi alone. Only the main thread calls MPI. Every wait
// for the other ranks is a non-blocking call tested in a loop that also watches for an
// interruption, so that a rank interrupted by mpirun's SIGTERM removes its files at once
// rather than wait for ranks that may never come.
#include <mpi.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "cluster/cluster.hpp"
#include "common/output.hpp"

namespace {

int rank_number = 0;
int rank_count = 1;
bool node_first = true;
std::vector<std::uint32_t> node_of_rank;
bool ending_together = false;
// The run's stop, which main hands over at the start: an interruption cuts every wait short.
const stop_signal* watched_stop = nullptr;

constexpr auto poll_interval = std::chrono::microseconds(100);
// Only the end of an interrupted job uses it, so that its messages can't meet another
// collective that an interruption left pending; a dead rank's errors there are returned, not
// fatal.
MPI_Comm ending_comm = MPI_COMM_NULL;
// mpirun kills every rank still running as soon as one rank has ended: after an interruption
// no rank ends before every rank has removed its files, or this long has passed.
constexpr auto removal_wait = std::chrono::seconds(5);
constexpr int removal_tag = 1;

bool wait_watching(MPI_Request& request) {
    for (;;) {
        int done = 0;
        MPI_Test(&request, &done, MPI_STATUS_IGNORE);
        if (done != 0) return true;
        if (watched_stop->interruption_status.load() != 0) return false;
        std::this_thread::sleep_for(poll_interval);
    }
}

// Marks in `done` each of `requests` that completes before `deadline`.
void wait_until(std::vector<MPI_Request>& requests, std::vector<bool>& done,
                std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        bool all_done = true;
        for (std::size_t r = 0; r < requests.size(); ++r) {
            int finished = 0;
            if (!done[r] && MPI_Test(&requests[r], &finished, MPI_STATUS_IGNORE) == MPI_SUCCESS && finished != 0)
                done[r] = true;
            all_done = all_done && done[r];
        }
        if (all_done || std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(poll_interval);
    }
}

// After an interruption each rank tells rank 0 that it is removing its files, then that it
// has; rank 0 answers each once it has heard every rank or the wait is over. MPI may still
// use these buffers until the process ends.
constexpr int alive_tag = 2;
int own_word = 0;
int alive_word = 1;
int release_word = 1;
std::vector<int> words, alive_words;
// Rank 0: each rank's, by rank. Elsewhere: this rank's word and rank 0's release, and its first word.
std::vector<MPI_Request> word_requests, alive_requests;
std::vector<bool> heard, alive;
std::chrono::steady_clock::time_point removal_deadline;
// mpirun kills a rank a second after its SIGTERM once another rank has died: a rank that has
// said nothing at all within this wait is taken for dead, so that rank 0 says what it knows
// before that kill; one that is still removing its files is waited for.
constexpr auto answer_wait = std::chrono::milliseconds(500);

// One look at each request not yet done.
void test_each(std::vector<MPI_Request>& requests, std::vector<bool>& done) {
    wait_until(requests, done, std::chrono::steady_clock::time_point{});
}

void wait_for_removal_everywhere() {
    if (word_requests.empty()) return;
    if (rank_number != 0) {
        std::vector<MPI_Request> release{word_requests[1]};
        std::vector<bool> released{false};
        wait_until(release, released, removal_deadline);
        return;
    }
    wait_until(word_requests, heard, removal_deadline);
    std::vector<MPI_Request> releases;
    for (std::size_t rank = 1; rank < words.size(); ++rank) {
        if (!heard[rank]) continue;
        releases.push_back(MPI_REQUEST_NULL);
        MPI_Isend(&release_word, 1, MPI_INT, static_cast<int>(rank), removal_tag, ending_comm, &releases.back());
    }
    std::vector<bool> sent(releases.size(), false);
    wait_until(releases, sent, std::chrono::steady_clock::now() + std::chrono::seconds(1));
}

// Nodes are told apart by MPI's shared-memory split; each is named by its lowest rank.
void find_nodes() {
    MPI_Comm node;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, rank_number, MPI_INFO_NULL, &node);
    int node_rank = 0;
    MPI_Comm_rank(node, &node_rank);
    node_first = node_rank == 0;
    int lowest = rank_number;
    MPI_Allreduce(MPI_IN_PLACE, &lowest, 1, MPI_INT, MPI_MIN, node);
    MPI_Comm_free(&node);
    std::vector<int> lowest_of_rank(static_cast<std::size_t>(rank_count));
    MPI_Allgather(&lowest, 1, MPI_INT, lowest_of_rank.data(), 1, MPI_INT, MPI_COMM_WORLD);
    std::vector<int> firsts = lowest_of_rank;
    std::sort(firsts.begin(), firsts.end());
    firsts.erase(std::unique(firsts.begin(), firsts.end()), firsts.end());
    for (const int first : lowest_of_rank)
        node_of_rank.push_back(
            static_cast<std::uint32_t>(std::lower_bound(firsts.begin(), firsts.end(), first) - firsts.begin()));
}

}  // namespace

void cluster_start(int& argc, char**& argv, const stop_signal& stop) {
    watched_stop = &stop;
    int provided = 0;
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_number);
    MPI_Comm_size(MPI_COMM_WORLD, &rank_count);
    find_nodes();
    MPI_Comm_dup(MPI_COMM_WORLD, &ending_comm);
    MPI_Comm_set_errhandler(ending_comm, MPI_ERRORS_RETURN);
    silence_output(rank_number != 0);
}

bool cluster_mode() { return true; }

std::uint32_t cluster_rank() { return static_cast<std::uint32_t>(rank_number); }

std::uint32_t cluster_size() { return static_cast<std::uint32_t>(rank_count); }

bool is_printing_rank() { return rank_number == 0; }

std::vector<std::uint32_t> cluster_nodes() { return node_of_rank; }

bool first_rank_on_node() { return node_first; }

bool cluster_barrier() {
    MPI_Request request;
    MPI_Ibarrier(MPI_COMM_WORLD, &request);
    return wait_watching(request);
}

bool cluster_gather(const std::vector<std::uint64_t>& mine, std::vector<std::uint64_t>& all) {
    all.assign(mine.size() * static_cast<std::size_t>(rank_count), 0);
    MPI_Request request;
    MPI_Iallgather(mine.data(), static_cast<int>(mine.size()), MPI_UINT64_T, all.data(), static_cast<int>(mine.size()),
                   MPI_UINT64_T, MPI_COMM_WORLD, &request);
    return wait_watching(request);
}

bool cluster_gather_text(const std::string& mine, std::vector<std::string>& all) {
    std::vector<std::uint64_t> lengths;
    if (!cluster_gather({mine.size()}, lengths)) return false;
    std::vector<int> counts, starts;
    int total = 0;
    for (const std::uint64_t length : lengths) {
        counts.push_back(static_cast<int>(length));
        starts.push_back(total);
        total += static_cast<int>(length);
    }
    std::string joined(static_cast<std::size_t>(total), '\0');
    MPI_Request request;
    MPI_Iallgatherv(mine.data(), static_cast<int>(mine.size()), MPI_CHAR, joined.data(), counts.data(), starts.data(),
                    MPI_CHAR, MPI_COMM_WORLD, &request);
    if (!wait_watching(request)) return false;
    all.clear();
    for (std::size_t r = 0; r < counts.size(); ++r)
        all.push_back(joined.substr(static_cast<std::size_t>(starts[r]), static_cast<std::size_t>(counts[r])));
    return true;
}

bool cluster_any(bool mine, bool& any) {
    int value = mine ? 1 : 0;
    int result = 0;
    MPI_Request request;
    MPI_Iallreduce(&value, &result, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD, &request);
    if (!wait_watching(request)) return false;
    any = result != 0;
    return true;
}

bool cluster_broadcast(std::uint64_t& value) {
    MPI_Request request;
    MPI_Ibcast(&value, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD, &request);
    return wait_watching(request);
}

std::vector<removal_word> cluster_removal_words(const std::function<bool()>& remove) {
    const auto start = std::chrono::steady_clock::now();
    removal_deadline = start + removal_wait;
    if (rank_number != 0) {
        alive_requests.assign(1, MPI_REQUEST_NULL);
        MPI_Isend(&alive_word, 1, MPI_INT, 0, alive_tag, ending_comm, &alive_requests[0]);
        own_word = static_cast<int>(remove() ? removal_word::removed : removal_word::some_left);
        word_requests.assign(2, MPI_REQUEST_NULL);
        MPI_Isend(&own_word, 1, MPI_INT, 0, removal_tag, ending_comm, &word_requests[0]);
        MPI_Irecv(&release_word, 1, MPI_INT, 0, removal_tag, ending_comm, &word_requests[1]);
        return {static_cast<removal_word>(own_word)};
    }
    const std::size_t ranks = static_cast<std::size_t>(rank_count);
    words.assign(ranks, 0);
    alive_words.assign(ranks, 0);
    word_requests.assign(ranks, MPI_REQUEST_NULL);
    alive_requests.assign(ranks, MPI_REQUEST_NULL);
    heard.assign(ranks, false);
    alive.assign(ranks, false);
    for (std::size_t rank = 1; rank < ranks; ++rank) {
        MPI_Irecv(&words[rank], 1, MPI_INT, static_cast<int>(rank), removal_tag, ending_comm, &word_requests[rank]);
        MPI_Irecv(&alive_words[rank], 1, MPI_INT, static_cast<int>(rank), alive_tag, ending_comm,
                  &alive_requests[rank]);
    }
    words[0] = static_cast<int>(remove() ? removal_word::removed : removal_word::some_left);
    for (;;) {
        test_each(word_requests, heard);
        test_each(alive_requests, alive);
        const auto now = std::chrono::steady_clock::now();
        bool waiting = false;
        for (std::size_t rank = 0; rank < ranks; ++rank)
            waiting = waiting || (!heard[rank] && (alive[rank] || now < start + answer_wait));
        if (!waiting || now >= removal_deadline) break;
        std::this_thread::sleep_for(poll_interval);
    }
    std::vector<removal_word> result;
    for (std::size_t rank = 0; rank < ranks; ++rank)
        result.push_back(heard[rank] ? static_cast<removal_word>(words[rank]) : removal_word::no_answer);
    return result;
}

void cluster_agree_to_end() { ending_together = true; }

void cluster_end(int status, const std::string& message) {
    if (ending_together) {
        MPI_Finalize();
        return;
    }
    if (watched_stop->interruption_status.load() != 0) {
        wait_for_removal_everywhere();
        return;
    }
    // An end that the other ranks know nothing of (refusals before the run and errors in it are
    // told to every rank first): its message is shown whatever the rank, and mpirun ends the
    // job, which interrupts the others.
    if (rank_number != 0 && !message.empty()) {
        silence_output(false);
        print_on_own_line(message);
    }
    MPI_Abort(MPI_COMM_WORLD, status);
}
