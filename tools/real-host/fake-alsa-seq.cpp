// A stand-in for the ALSA sequencer, preloaded into a host that refuses to start without one
// (containers and CI machines have no /dev/snd/seq). Every call on a handle of ours succeeds
// and nothing ever arrives: the host gets a MIDI engine with no ports to connect to. Only the
// calls that take the sequencer handle are replaced; the info records stay with the real
// library. Build: g++ -shared -fPIC -o fake-alsa-seq.so fake-alsa-seq.cpp
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <poll.h>
#include <unistd.h>

namespace {

struct FakeSequencer {
    int pipeEnds[2] = {-1, -1}; // the read end is the descriptor the host polls; never written
    int nextPort = 0;
};

constexpr int ourClient = 128;

} // namespace

extern "C" {

__attribute__((visibility("default"))) int snd_seq_open(void** handle, const char*, int, int) {
    if (handle == nullptr) return -EINVAL;
    std::unique_ptr<FakeSequencer> seq(new (std::nothrow) FakeSequencer);
    if (!seq) return -ENOMEM;
    if (pipe2(seq->pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return -errno;
    *handle = seq.release(); // the handle owns it until snd_seq_close
    return 0;
}

__attribute__((visibility("default"))) int snd_seq_close(void* handle) {
    std::unique_ptr<FakeSequencer> seq(static_cast<FakeSequencer*>(handle));
    if (!seq) return -EINVAL;
    close(seq->pipeEnds[0]);
    close(seq->pipeEnds[1]);
    return 0;
}

__attribute__((visibility("default"))) int snd_seq_poll_descriptors_count(void*, short) {
    return 1;
}

__attribute__((visibility("default"))) int
snd_seq_poll_descriptors(void* handle, pollfd* fds, unsigned int space, short events) {
    auto* seq = static_cast<FakeSequencer*>(handle);
    if (seq == nullptr || fds == nullptr || space < 1) return 0;
    fds[0].fd = seq->pipeEnds[0];
    fds[0].events = events;
    fds[0].revents = 0;
    return 1;
}

__attribute__((visibility("default"))) int snd_seq_event_input(void*, void** event) {
    if (event != nullptr) *event = nullptr;
    return -EAGAIN;
}

__attribute__((visibility("default"))) int snd_seq_create_simple_port(void* handle, const char*,
                                                                      unsigned int, unsigned int) {
    auto* seq = static_cast<FakeSequencer*>(handle);
    return seq == nullptr ? -EINVAL : seq->nextPort++;
}

// Calls that only need an answer.
#define WADLING_ANSWER(name, value, ...)                                                           \
    __attribute__((visibility("default"))) int name(__VA_ARGS__) {                                 \
        return value;                                                                              \
    }

WADLING_ANSWER(snd_seq_client_id, ourClient, void*)
WADLING_ANSWER(snd_seq_set_client_name, 0, void*, const char*)
WADLING_ANSWER(snd_seq_alloc_queue, 0, void*)
WADLING_ANSWER(snd_seq_free_queue, 0, void*, int)
WADLING_ANSWER(snd_seq_control_queue, 0, void*, int, int, int, void*)
WADLING_ANSWER(snd_seq_delete_simple_port, 0, void*, int)
WADLING_ANSWER(snd_seq_drain_output, 0, void*)
WADLING_ANSWER(snd_seq_drop_input, 0, void*)
WADLING_ANSWER(snd_seq_drop_output, 0, void*)
WADLING_ANSWER(snd_seq_event_input_pending, 0, void*, int)
WADLING_ANSWER(snd_seq_event_output, 0, void*, void*)
WADLING_ANSWER(snd_seq_event_output_direct, 0, void*, void*)
WADLING_ANSWER(snd_seq_get_any_client_info, -ENOENT, void*, int, void*)
WADLING_ANSWER(snd_seq_get_any_port_info, -ENOENT, void*, int, int, void*)
WADLING_ANSWER(snd_seq_get_port_info, 0, void*, int, void*)
WADLING_ANSWER(snd_seq_set_port_info, 0, void*, int, void*)
WADLING_ANSWER(snd_seq_get_queue_status, 0, void*, int, void*)
WADLING_ANSWER(snd_seq_get_queue_tempo, 0, void*, int, void*)
WADLING_ANSWER(snd_seq_set_queue_tempo, 0, void*, int, void*)
WADLING_ANSWER(snd_seq_set_queue_timer, 0, void*, int, void*)
WADLING_ANSWER(snd_seq_query_next_client, -ENOENT, void*, void*)
WADLING_ANSWER(snd_seq_query_next_port, -ENOENT, void*, void*)
WADLING_ANSWER(snd_seq_query_port_subscribers, -ENOENT, void*, void*)
WADLING_ANSWER(snd_seq_remove_events, 0, void*, void*)
WADLING_ANSWER(snd_seq_subscribe_port, 0, void*, void*)
WADLING_ANSWER(snd_seq_unsubscribe_port, 0, void*, void*)

} // extern "C"
