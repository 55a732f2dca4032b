// The Microsoft C runtime's rand(): a linear congruential generator whose exact
// sequence is part of stored data (the password store) and of visible effects,
// so it is reproduced here instead of calling the local C library.
#pragma once

#include <cstdint>

namespace hourlink {

class MsvcRand {
  public:
    explicit MsvcRand(std::uint32_t seed = 1) : state_(seed) {}
    void Seed(std::uint32_t seed) { state_ = seed; }
    // 0 .. 0x7FFF, the same sequence as srand(seed)/rand() of MSVCRT.
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFF);
    }
    std::uint32_t State() const { return state_; }

  private:
    std::uint32_t state_;
};

}  // namespace hourlink
