#include "toolkit/DIBLZH.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>

namespace toolkit {

namespace {

static_assert(std::endian::native == std::endian::little, "the match search reads words");

constexpr int kWindow = 4096; // ring buffer size
constexpr int kMaxMatch = 60; // longest match
constexpr int kThreshold = 2; // matches this long or shorter go as literals
constexpr int kSymbols = 256 - kThreshold + kMaxMatch; // 314: literals, then lengths 3..60
constexpr int kNodes = 2 * kSymbols - 1;               // 627 tree nodes
constexpr int kRoot = kNodes - 1;                      // 626
constexpr std::uint32_t kMaxCount = 0x8000;            // the root's count that triggers a rebuild
constexpr int kStart = kWindow - kMaxMatch;            // 4036: first write position
constexpr int kNil = kWindow;

const char* const kTooLarge = "Compressed file is larger than the original.";
const char* const kNoMemory = "LZH : Cannot get memory for dictionary tables";

// Fixed code for the upper 6 bits of a position: lengths 3..8, codes counted up from 0.
struct PositionCode {
    std::uint8_t encodeLength[64];
    std::uint8_t encodeBits[64]; // left-aligned in 8 bits
    std::uint8_t decodeUpper[256];
    std::uint8_t decodeLength[256];

    constexpr PositionCode() : encodeLength{}, encodeBits{}, decodeUpper{}, decodeLength{} {
        unsigned code = 0;
        for (unsigned v = 0; v < 64; ++v) {
            const unsigned len = v < 1 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
            encodeLength[v] = static_cast<std::uint8_t>(len);
            encodeBits[v] = static_cast<std::uint8_t>(code);
            const unsigned span = 1u << (8 - len);
            for (unsigned b = code; b < code + span; ++b) {
                decodeUpper[b] = static_cast<std::uint8_t>(v);
                decodeLength[b] = static_cast<std::uint8_t>(len);
            }
            code += span;
        }
    }
};
constexpr PositionCode kPositionCode;

// The adaptive Huffman model. Counts are kept in ascending order by node index (the sibling
// property); the update and the rebuild preserve that order, which the search in Update uses.
struct HuffmanModel {
    std::uint32_t count[kNodes + 1];
    std::uint32_t parent[kNodes + kSymbols];
    std::uint32_t child[kNodes];

    void Start() {
        for (int s = 0; s < kSymbols; ++s) {
            count[s] = 1;
            child[s] = s + kNodes;
            parent[s + kNodes] = s;
        }
        for (int i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
            count[j] = count[i] + count[i + 1];
            child[j] = i;
            parent[i] = parent[i + 1] = j;
        }
        count[kNodes] = 0xFFFF;
        parent[kRoot] = 0;
    }

    void Rebuild() {
        int j = 0;
        for (int i = 0; i < kNodes; ++i) {
            if (child[i] >= static_cast<std::uint32_t>(kNodes)) {
                count[j] = (count[i] + 1) / 2;
                child[j] = child[i];
                ++j;
            }
        }
        for (int i = 0, n = kSymbols; n < kNodes; i += 2, ++n) {
            const std::uint32_t f = count[i] + count[i + 1];
            int k = n - 1;
            while (f < count[k])
                --k;
            ++k;
            std::memmove(&count[k + 1], &count[k],
                         sizeof count[0] * static_cast<std::size_t>(n - k));
            std::memmove(&child[k + 1], &child[k],
                         sizeof child[0] * static_cast<std::size_t>(n - k));
            count[k] = f;
            child[k] = static_cast<std::uint32_t>(i);
        }
        for (int i = 0; i < kNodes; ++i) {
            const std::uint32_t v = child[i];
            if (v >= static_cast<std::uint32_t>(kNodes))
                parent[v] = i;
            else
                parent[v] = parent[v + 1] = i;
        }
    }

    // The highest node above n whose count is below k, given that count[n + 1] is below k.
    std::uint32_t LastBelow(std::uint32_t n, std::uint32_t k) const {
        std::uint32_t lo = n + 1; // count[lo] < k
        std::uint32_t hi = lo + 1;
        std::uint32_t step = 1;
        while (count[hi] < k) { // count[kNodes] is 0xFFFF: the gallop always ends
            lo = hi;
            step <<= 1;
            hi = std::min<std::uint32_t>(lo + step, kNodes);
        }
        while (hi - lo > 1) {
            const std::uint32_t mid = (lo + hi) / 2;
            if (count[mid] < k)
                lo = mid;
            else
                hi = mid;
        }
        return lo;
    }

    void Update(std::uint32_t symbol) {
        if (count[kRoot] == kMaxCount) Rebuild();
        std::uint32_t n = parent[symbol + kNodes];
        do {
            const std::uint32_t k = ++count[n];
            if (k > count[n + 1]) {
                const std::uint32_t l = LastBelow(n, k);
                count[n] = count[l];
                count[l] = k;

                const std::uint32_t i = child[n];
                parent[i] = l;
                if (i < static_cast<std::uint32_t>(kNodes)) parent[i + 1] = l;
                const std::uint32_t j = child[l];
                child[l] = i;
                parent[j] = n;
                if (j < static_cast<std::uint32_t>(kNodes)) parent[j + 1] = n;
                child[n] = j;
                n = l;
            }
            n = parent[n];
        } while (n != 0);
    }
};

// Bits into bytes, most significant first; raises when the output would pass its capacity.
class BitWriter {
public:
    BitWriter(std::uint8_t* out, std::size_t capacity) : out_(out), capacity_(capacity) {}

    void Put(std::uint32_t bits, int n) { // n <= 32, bits right-aligned
        pending_ = (pending_ << n) | bits;
        held_ += n;
        while (held_ >= 8) {
            held_ -= 8;
            if (written_ == capacity_) throw ElzhException(kTooLarge);
            out_[written_++] = static_cast<std::uint8_t>(pending_ >> held_);
        }
    }
    void Flush() {
        if (held_ > 0) Put(0, 8 - held_);
    }
    std::size_t Written() const { return written_; }

private:
    std::uint8_t* out_;
    std::size_t capacity_;
    std::size_t written_ = 0;
    std::uint64_t pending_ = 0;
    int held_ = 0;
};

// Bits from bytes, most significant first; past the end every byte reads as 0.
class BitReader {
public:
    BitReader(const std::uint8_t* in, std::size_t length) : at_(in), end_(in + length) {}

    void Refill() {
        if (end_ - at_ >= 8) {
            std::uint64_t word;
            std::memcpy(&word, at_, 8);
            word = Swap(word);
            buffer_ |= word >> held_;
            const int taken = (63 - held_) >> 3;
            at_ += taken;
            held_ += taken * 8;
            return;
        }
        while (held_ <= 56) {
            const std::uint64_t byte = at_ < end_ ? *at_++ : 0;
            buffer_ |= byte << (56 - held_);
            held_ += 8;
        }
    }
    unsigned Bit() {
        if (held_ == 0) Refill();
        const unsigned b = static_cast<unsigned>(buffer_ >> 63);
        buffer_ <<= 1;
        --held_;
        return b;
    }
    // Peeks at up to 32 bits after making sure that they are there.
    std::uint32_t Peek(int n) {
        if (held_ < n) Refill();
        return static_cast<std::uint32_t>(buffer_ >> (64 - n));
    }
    void Skip(int n) {
        buffer_ <<= n;
        held_ -= n;
    }

private:
    static std::uint64_t Swap(std::uint64_t v) {
        v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
        v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
        return (v << 32) | (v >> 32);
    }
    const std::uint8_t* at_;
    const std::uint8_t* end_;
    std::uint64_t buffer_ = 0;
    int held_ = 0;
};

// The encoder's dictionary: per first byte a binary search tree of window positions.
struct MatchFinder {
    // Window, mirror of its first 59 bytes, and slack so that comparisons may read whole words.
    std::uint8_t text[kWindow + kMaxMatch - 1 + 8];
    std::int32_t left[kWindow + 1];
    std::int32_t right[kWindow + 257];
    std::int32_t up[kWindow + 1];
    int matchPosition = 0;
    int matchLength = 0;

    void Init() {
        std::memset(text, 0, sizeof text);
        std::fill(std::begin(right) + kWindow + 1, std::end(right), kNil);
        std::fill(std::begin(up), std::begin(up) + kWindow, kNil);
    }

    // Length of the common run of bytes 1..59 of r and p (60 when they all agree) and the sign
    // of the first difference.
    int Compare(int r, int p, int& cmp) const {
        const std::uint8_t* a = text + r;
        const std::uint8_t* b = text + p;
        for (int i = 1; i < kMaxMatch; i += 8) {
            std::uint64_t x, y;
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (const std::uint64_t diff = x ^ y) {
                const int at = i + std::countr_zero(diff) / 8;
                if (at >= kMaxMatch) break;
                cmp = int(a[at]) - int(b[at]);
                return at;
            }
        }
        cmp = 0;
        return kMaxMatch;
    }

    void Insert(int r) {
        int cmp = 1;
        int p = kWindow + 1 + text[r];
        right[r] = left[r] = kNil;
        matchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (right[p] == kNil) {
                    right[p] = r;
                    up[r] = p;
                    return;
                }
                p = right[p];
            } else {
                if (left[p] == kNil) {
                    left[p] = r;
                    up[r] = p;
                    return;
                }
                p = left[p];
            }
            const int i = Compare(r, p, cmp);
            if (i > kThreshold) {
                const int position = ((r - p) & (kWindow - 1)) - 1;
                if (i > matchLength) {
                    matchPosition = position;
                    matchLength = i;
                    if (i >= kMaxMatch) break;
                } else if (i == matchLength && position < matchPosition) {
                    matchPosition = position;
                }
            }
        }
        // r replaces p, which had the same 60 bytes.
        up[r] = up[p];
        left[r] = left[p];
        right[r] = right[p];
        up[left[p]] = r;
        up[right[p]] = r;
        if (right[up[p]] == p)
            right[up[p]] = r;
        else
            left[up[p]] = r;
        up[p] = kNil;
    }

    void Delete(int p) {
        if (up[p] == kNil) return;
        int q;
        if (right[p] == kNil) {
            q = left[p];
        } else if (left[p] == kNil) {
            q = right[p];
        } else {
            q = left[p];
            if (right[q] != kNil) {
                do {
                    q = right[q];
                } while (right[q] != kNil);
                right[up[q]] = left[q];
                up[left[q]] = up[q];
                left[q] = left[p];
                up[left[p]] = q;
            }
            right[q] = right[p];
            up[right[p]] = q;
        }
        up[q] = up[p];
        if (right[up[p]] == p)
            right[up[p]] = q;
        else
            left[up[p]] = q;
        up[p] = kNil;
    }
};

struct EncoderTables {
    HuffmanModel model;
    MatchFinder finder;
};

void encodeSymbol(HuffmanModel& model, BitWriter& out, std::uint32_t symbol) {
    std::uint64_t code = 0;
    int length = 0;
    std::uint32_t n = model.parent[symbol + kNodes];
    do {
        code |= std::uint64_t(n & 1) << length;
        ++length;
        n = model.parent[n];
    } while (n != static_cast<std::uint32_t>(kRoot));
    if (length > 32) {
        out.Put(static_cast<std::uint32_t>(code >> 32), length - 32);
        length = 32;
    }
    out.Put(static_cast<std::uint32_t>(code), length);
    model.Update(symbol);
}

void encodePosition(BitWriter& out, unsigned position) {
    const unsigned upper = position >> 6;
    const int length = kPositionCode.encodeLength[upper];
    out.Put(kPositionCode.encodeBits[upper] >> (8 - length), length);
    out.Put(position & 0x3F, 6);
}

template <class T>
std::unique_ptr<T> allocateTables() {
    return runtime::AllocateOrRaise<ElzhException>(kNoMemory, [] { return std::make_unique<T>(); });
}

// The byte x places before the start of the output, as the window holds it at the start.
inline std::uint8_t initialHistory(std::ptrdiff_t x) {
    return x < -kStart ? 0 : 0x20;
}

} // namespace

std::size_t TLZHStream::Pack(const std::uint8_t* source, std::size_t length,
                             std::uint8_t* destination, std::size_t capacity) {
    if (length > std::numeric_limits<std::uint32_t>::max() || capacity < 4)
        throw ElzhException(kTooLarge);
    for (int i = 0; i < 4; ++i)
        destination[i] = static_cast<std::uint8_t>(length >> (8 * i));
    if (length == 0) return 4;

    auto tables = allocateTables<EncoderTables>();
    HuffmanModel& model = tables->model;
    MatchFinder& finder = tables->finder;
    BitWriter out(destination + 4, capacity - 4);
    model.Start();
    finder.Init();

    int s = 0;
    int r = kStart;
    std::memset(finder.text, 0x20, kStart);
    std::size_t next = 0;
    int len = 0;
    for (; len < kMaxMatch && next < length; ++len)
        finder.text[r + len] = source[next++];
    for (int i = 1; i <= kMaxMatch; ++i)
        finder.Insert(r - i);
    finder.Insert(r);

    do {
        if (finder.matchLength > len) finder.matchLength = len;
        if (finder.matchLength <= kThreshold) {
            finder.matchLength = 1;
            encodeSymbol(model, out, finder.text[r]);
        } else {
            encodeSymbol(model, out,
                         static_cast<std::uint32_t>(255 - kThreshold + finder.matchLength));
            encodePosition(out, static_cast<unsigned>(finder.matchPosition));
        }
        const int lastMatchLength = finder.matchLength;
        int i = 0;
        for (; i < lastMatchLength && next < length; ++i) {
            finder.Delete(s);
            const std::uint8_t c = source[next++];
            finder.text[s] = c;
            if (s < kMaxMatch - 1) finder.text[s + kWindow] = c;
            s = (s + 1) & (kWindow - 1);
            r = (r + 1) & (kWindow - 1);
            finder.Insert(r);
        }
        for (; i < lastMatchLength; ++i) {
            finder.Delete(s);
            s = (s + 1) & (kWindow - 1);
            r = (r + 1) & (kWindow - 1);
            if (--len) finder.Insert(r);
        }
    } while (len > 0);
    out.Flush();

    return 4 + out.Written();
}

void TLZHStream::Unpack(const std::uint8_t* payload, std::size_t payloadLength,
                        std::uint8_t* destination, std::size_t length) {
    std::uint32_t declared = 0;
    for (std::size_t i = 0; i < 4; ++i)
        declared |= std::uint32_t(i < payloadLength ? payload[i] : 0) << (8 * i);
    if (declared != length)
        throw ElzhException("LZH : The packed data declares " + std::to_string(declared) +
                            " bytes, the image record " + std::to_string(length) + ".");
    if (length == 0) return;

    auto model = allocateTables<HuffmanModel>();
    model->Start();
    const std::uint8_t* code = payload + std::min<std::size_t>(4, payloadLength);
    const std::size_t codeLength = payloadLength - std::min<std::size_t>(4, payloadLength);
    BitReader in(code, codeLength);
    const std::uint32_t* child = model->child;

    std::size_t o = 0;
    while (o < length) {
        std::uint32_t c = child[kRoot];
        while (c < static_cast<std::uint32_t>(kNodes))
            c = child[c + in.Bit()];
        c -= kNodes;
        model->Update(c);
        if (c < 256) {
            destination[o++] = static_cast<std::uint8_t>(c);
            continue;
        }
        const std::uint32_t head = in.Peek(8);
        const int codeLengthBits = kPositionCode.decodeLength[head];
        const std::uint32_t bits = in.Peek(codeLengthBits + 6);
        in.Skip(codeLengthBits + 6);
        const std::size_t distance =
            ((std::size_t(kPositionCode.decodeUpper[head]) << 6) | (bits & 0x3F)) + 1;
        const std::size_t count = std::min<std::size_t>(c - 253, length - o);
        std::uint8_t* to = destination + o;
        if (distance <= o) {
            const std::uint8_t* from = to - distance;
            if (distance >= count) {
                std::memcpy(to, from, count);
            } else {
                for (std::size_t k = 0; k < count; ++k)
                    to[k] = from[k];
            }
        } else {
            // Only in the first 4096 bytes: the copy starts in the window's initial content.
            const std::ptrdiff_t start =
                static_cast<std::ptrdiff_t>(o) - static_cast<std::ptrdiff_t>(distance);
            for (std::size_t k = 0; k < count; ++k) {
                const std::ptrdiff_t x = start + static_cast<std::ptrdiff_t>(k);
                to[k] = x < 0 ? initialHistory(x) : destination[x];
            }
        }
        o += count;
    }
}

} // namespace toolkit
