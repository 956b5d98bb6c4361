#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace pellumar {

// Paths one after another in blocks that never move, so that a view of one stays valid while
// more are added. Emptied, it keeps its blocks: filling it again allocates nothing, where a
// string for each path would cost the thread that fills it an allocation at every found file.
class PathStore {
  public:
    std::string_view Add(std::string_view path) {
        if (path.empty()) {
            return {};
        }
        while (m_nBlock < m_blocks.size() &&
               m_blocks[m_nBlock].size - m_blocks[m_nBlock].used < path.size()) {
            ++m_nBlock;  // a block passed over is filled again after the next Clear
        }
        if (m_nBlock == m_blocks.size()) {
            const std::size_t size = std::max(kBlockSize, path.size());
            m_blocks.push_back({std::make_unique_for_overwrite<char[]>(size), size, 0});
        }
        Block& block = m_blocks[m_nBlock];
        char* at = block.bytes.get() + block.used;
        std::memcpy(at, path.data(), path.size());
        block.used += path.size();
        return {at, path.size()};
    }
    void Clear() {
        for (Block& block : m_blocks) {
            block.used = 0;
        }
        m_nBlock = 0;
    }

  private:
    static constexpr std::size_t kBlockSize = 64 * 1024;
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0, used = 0;
    };
    std::vector<Block> m_blocks;
    std::size_t m_nBlock = 0;  // the block being filled
};

}  // namespace pellumar
