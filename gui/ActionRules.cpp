#include "ActionRules.h"

#include "ResourceIds.h"

namespace pellumar {

bool ProgramChosen(std::int32_t action) {
    return action == 2;
}

std::int32_t RadioAction(int id) {
    return id - res::kIdActionNothing;
}

QStringList ProgramFilters() {
    return {QStringLiteral("Programs you may run (*)"),
            QStringLiteral("Executable Files (*.exe, *.com, *.bat) (*.com *.bat *.exe)"),
            QStringLiteral("All Files (*.*) (*)")};
}

}  // namespace pellumar
