#include "PlacementGroup.h"

#include <algorithm>

namespace pellumar {

bool PlacementGroup::Holds(const FileId& id) const {
    return std::any_of(m_files.begin(), m_files.end(),
                       [&](const auto& waiting) { return waiting->status.Id() == id; });
}

}  // namespace pellumar
