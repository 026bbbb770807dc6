#include "LZHReference.h"

#include <cstring>
#include <memory>

namespace lzhref {

namespace {

constexpr int N = 4096, F = 60, THRESHOLD = 2, NIL = N;
constexpr int N_CHAR = 256 - THRESHOLD + F, T = N_CHAR * 2 - 1, R = T - 1;
constexpr unsigned MAX_FREQ = 0x8000;

const unsigned char p_len[64] = {
    0x03, 0x04, 0x04, 0x04, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x05, 0x06, 0x06, 0x06, 0x06,
    0x06, 0x06, 0x06, 0x06, 0x06, 0x06, 0x06, 0x06, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07,
    0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07, 0x07,
    0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08};

const unsigned char p_code[64] = {
    0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
    0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
    0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

struct Coder {
    unsigned char text_buf[N + F - 1] = {};
    int match_position = 0, match_length = 0;
    int lson[N + 1] = {}, rson[N + 257] = {}, dad[N + 1] = {};
    unsigned freq[T + 1] = {};
    int prnt[T + N_CHAR] = {};
    int son[T] = {};

    std::vector<std::uint8_t> out;
    unsigned char bitbyte = 0;
    int bitcount = 0;
    const std::vector<std::uint8_t>* in = nullptr;
    std::size_t inpos = 0;

    void PutBit(int b) {
        bitbyte = static_cast<unsigned char>((bitbyte << 1) | (b & 1));
        if (++bitcount == 8) {
            out.push_back(bitbyte);
            bitbyte = 0;
            bitcount = 0;
        }
    }
    void Putcode(int l, unsigned c) { // the l most significant of 16 bits
        for (int i = 0; i < l; ++i)
            PutBit((c >> (15 - i)) & 1);
    }
    int GetBit() {
        std::size_t byte = inpos / 8;
        int b = byte < in->size() ? ((*in)[byte] >> (7 - inpos % 8)) & 1 : 0;
        ++inpos;
        return b;
    }
    unsigned GetByte() {
        unsigned v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 1) | GetBit();
        return v;
    }

    void InitTree() {
        for (int i = N + 1; i <= N + 256; i++)
            rson[i] = NIL;
        for (int i = 0; i < N; i++)
            dad[i] = NIL;
    }

    void InsertNode(int r) {
        int i, p, cmp;
        unsigned char* key;
        unsigned c;
        cmp = 1;
        key = &text_buf[r];
        p = N + 1 + key[0];
        rson[r] = lson[r] = NIL;
        match_length = 0;
        for (;;) {
            if (cmp >= 0) {
                if (rson[p] != NIL)
                    p = rson[p];
                else {
                    rson[p] = r;
                    dad[r] = p;
                    return;
                }
            } else {
                if (lson[p] != NIL)
                    p = lson[p];
                else {
                    lson[p] = r;
                    dad[r] = p;
                    return;
                }
            }
            for (i = 1; i < F; i++)
                if ((cmp = key[i] - text_buf[p + i]) != 0) break;
            if (i > THRESHOLD) {
                if (i > match_length) {
                    match_position = ((r - p) & (N - 1)) - 1;
                    if ((match_length = i) >= F) break;
                }
                if (i == match_length) {
                    if ((c = ((r - p) & (N - 1)) - 1) < (unsigned)match_position) {
                        match_position = c;
                    }
                }
            }
        }
        dad[r] = dad[p];
        lson[r] = lson[p];
        rson[r] = rson[p];
        dad[lson[p]] = r;
        dad[rson[p]] = r;
        if (rson[dad[p]] == p)
            rson[dad[p]] = r;
        else
            lson[dad[p]] = r;
        dad[p] = NIL;
    }

    void DeleteNode(int p) {
        int q;
        if (dad[p] == NIL) return;
        if (rson[p] == NIL)
            q = lson[p];
        else if (lson[p] == NIL)
            q = rson[p];
        else {
            q = lson[p];
            if (rson[q] != NIL) {
                do {
                    q = rson[q];
                } while (rson[q] != NIL);
                rson[dad[q]] = lson[q];
                dad[lson[q]] = dad[q];
                lson[q] = lson[p];
                dad[lson[p]] = q;
            }
            rson[q] = rson[p];
            dad[rson[p]] = q;
        }
        dad[q] = dad[p];
        if (rson[dad[p]] == p)
            rson[dad[p]] = q;
        else
            lson[dad[p]] = q;
        dad[p] = NIL;
    }

    void StartHuff() {
        int i, j;
        for (i = 0; i < N_CHAR; i++) {
            freq[i] = 1;
            son[i] = i + T;
            prnt[i + T] = i;
        }
        i = 0;
        j = N_CHAR;
        while (j <= R) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
            i += 2;
            j++;
        }
        freq[T] = 0xffff;
        prnt[R] = 0;
    }

    void reconst() {
        int i, j, k;
        unsigned f;
        j = 0;
        for (i = 0; i < T; i++) {
            if (son[i] >= T) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                j++;
            }
        }
        for (i = 0, j = N_CHAR; j < T; i += 2, j++) {
            k = i + 1;
            f = freq[j] = freq[i] + freq[k];
            for (k = j - 1; f < freq[k]; k--)
                ;
            k++;
            // Entries k..j-1 move up by one (whole entries, as the 16-bit original did).
            std::memmove(&freq[k + 1], &freq[k], (j - k) * sizeof freq[0]);
            freq[k] = f;
            std::memmove(&son[k + 1], &son[k], (j - k) * sizeof son[0]);
            son[k] = i;
        }
        for (i = 0; i < T; i++) {
            if ((k = son[i]) >= T) {
                prnt[k] = i;
            } else {
                prnt[k] = prnt[k + 1] = i;
            }
        }
    }

    void update(int c) {
        int i, j, l;
        unsigned k;
        if (freq[R] == MAX_FREQ) reconst();
        c = prnt[c + T];
        do {
            k = ++freq[c];
            if (k > freq[l = c + 1]) {
                while (k > freq[++l])
                    ;
                l--;
                freq[c] = freq[l];
                freq[l] = k;
                i = son[c];
                prnt[i] = l;
                if (i < T) prnt[i + 1] = l;
                j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < T) prnt[j + 1] = c;
                son[c] = j;
                c = l;
            }
        } while ((c = prnt[c]) != 0);
    }

    void EncodeChar(unsigned c) {
        std::vector<int> bits;
        int k = prnt[c + T];
        do {
            bits.push_back(k & 1);
        } while ((k = prnt[k]) != R);
        for (auto it = bits.rbegin(); it != bits.rend(); ++it)
            PutBit(*it);
        update(c);
    }

    void EncodePosition(unsigned c) {
        unsigned i = c >> 6;
        Putcode(p_len[i], (unsigned)p_code[i] << 8);
        Putcode(6, (c & 0x3f) << 10);
    }

    int DecodeChar() {
        unsigned c = son[R];
        while (c < T) {
            c += GetBit();
            c = son[c];
        }
        c -= T;
        update(c);
        return c;
    }

    int DecodePosition() {
        unsigned i, j, c;
        i = GetByte();
        // The upper 6 bits: the value whose code the leading bits of i are.
        unsigned upper = 0;
        for (unsigned v = 0; v < 64; ++v)
            if ((i & (0xFF00u >> p_len[v]) & 0xFF) == p_code[v]) upper = v;
        c = upper << 6;
        j = p_len[upper];
        j -= 2;
        while (j--)
            i = (i << 1) + GetBit();
        return c | (i & 0x3f);
    }
};

} // namespace

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& input) {
    auto coder = std::make_unique<Coder>();
    Coder& z = *coder;
    const unsigned long textsize = input.size();
    for (int i = 0; i < 4; ++i)
        z.out.push_back(static_cast<std::uint8_t>(textsize >> (8 * i)));
    if (textsize == 0) return z.out;
    std::size_t next = 0;
    auto getc = [&]() -> int { return next < input.size() ? input[next++] : -1; };
    int i, c, len, r, s, last_match_length;
    z.StartHuff();
    z.InitTree();
    s = 0;
    r = N - F;
    for (i = s; i < r; i++)
        z.text_buf[i] = ' ';
    for (len = 0; len < F && (c = getc()) != -1; len++)
        z.text_buf[r + len] = (unsigned char)c;
    for (i = 1; i <= F; i++)
        z.InsertNode(r - i);
    z.InsertNode(r);
    do {
        if (z.match_length > len) z.match_length = len;
        if (z.match_length <= THRESHOLD) {
            z.match_length = 1;
            z.EncodeChar(z.text_buf[r]);
        } else {
            z.EncodeChar(255 - THRESHOLD + z.match_length);
            z.EncodePosition(z.match_position);
        }
        last_match_length = z.match_length;
        for (i = 0; i < last_match_length && (c = getc()) != -1; i++) {
            z.DeleteNode(s);
            z.text_buf[s] = (unsigned char)c;
            if (s < F - 1) z.text_buf[s + N] = (unsigned char)c;
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            z.InsertNode(r);
        }
        while (i++ < last_match_length) {
            z.DeleteNode(s);
            s = (s + 1) & (N - 1);
            r = (r + 1) & (N - 1);
            if (--len) z.InsertNode(r);
        }
    } while (len > 0);
    while (z.bitcount != 0)
        z.PutBit(0);
    return z.out;
}

std::vector<std::uint8_t> Decode(const std::vector<std::uint8_t>& payload) {
    auto coder = std::make_unique<Coder>();
    Coder& z = *coder;
    unsigned long textsize = 0;
    for (std::size_t i = 0; i < 4; ++i)
        textsize |= static_cast<unsigned long>(i < payload.size() ? payload[i] : 0) << (8 * i);
    std::vector<std::uint8_t> out;
    if (textsize == 0) return out;
    z.in = &payload;
    z.inpos = 32;
    z.StartHuff();
    for (int i = 0; i < N - F; i++)
        z.text_buf[i] = ' ';
    int r = N - F;
    for (unsigned long count = 0; count < textsize;) {
        int c = z.DecodeChar();
        if (c < 256) {
            out.push_back((unsigned char)c);
            z.text_buf[r++] = (unsigned char)c;
            r &= (N - 1);
            count++;
        } else {
            int i = (r - z.DecodePosition() - 1) & (N - 1);
            int j = c - 255 + THRESHOLD;
            for (int k = 0; k < j && count < textsize; k++) {
                c = z.text_buf[(i + k) & (N - 1)];
                out.push_back((unsigned char)c);
                z.text_buf[r++] = (unsigned char)c;
                r &= (N - 1);
                count++;
            }
        }
    }
    return out;
}

} // namespace lzhref
