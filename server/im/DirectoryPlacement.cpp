#include "server/im/DirectoryPlacement.h"

#include "directory/ImError.h"

namespace warden {

namespace {

std::string PathOf(const std::vector<std::string>& pieces) {
    std::string path;
    for (const std::string& piece : pieces) path += "\\" + piece;
    return path;
}

}  // namespace

bool DirectoryPlacement::Available() const {
    try {
        return m_im.Root()->GetDeptManager().PlacesDepts();
    } catch (const ImError&) {
        return false;
    }
}

bool DirectoryPlacement::MoveBefore(const std::vector<std::string>& deptPieces,
                                    const std::vector<std::string>& nextPieces, bool isLast) {
    if (deptPieces.empty() || nextPieces.empty()) return false;
    std::lock_guard lock(m_mutex);
    try {
        m_im.Root()->GetDeptManager().PlaceDept(PathOf(deptPieces), PathOf(nextPieces), isLast);
        return true;
    } catch (const ImError&) {
        return false;
    }
}

}  // namespace warden
