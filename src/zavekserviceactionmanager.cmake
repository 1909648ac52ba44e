# Included by src/CMakeLists.txt.
# Two calls of the service action manager exist only in some client libraries; the bundled layer has both.
if(ZAVEK_USE_SYSTEM_QMF)
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_LIBRARIES PkgConfig::QMF Qt::Core)
    set(CMAKE_REQUIRED_FLAGS -fPIC)
    check_cxx_source_compiles("#include <qmailserviceaction.h>
#include <utility>
using Call = decltype(std::declval<QMailRetrievalAction &>().synchronizeAll(QMailAccountId()));
int main() { return 0; }" ZAVEK_QMF_HAS_SYNCHRONIZE_ALL)
    check_cxx_source_compiles("#include <qmailserviceaction.h>
#include <utility>
using Call = decltype(std::declval<QMailStorageAction &>().moveMessages(QMailMessageIdList(), QMailFolderId()));
int main() { return 0; }" ZAVEK_QMF_HAS_MOVE_MESSAGES)
    unset(CMAKE_REQUIRED_LIBRARIES)
    unset(CMAKE_REQUIRED_FLAGS)
else()
    set(ZAVEK_QMF_HAS_SYNCHRONIZE_ALL ON)
    set(ZAVEK_QMF_HAS_MOVE_MESSAGES ON)
endif()
if(ZAVEK_QMF_HAS_SYNCHRONIZE_ALL)
    target_compile_definitions(zavek PRIVATE ZAVEK_QMF_HAS_SYNCHRONIZE_ALL)
endif()
if(ZAVEK_QMF_HAS_MOVE_MESSAGES)
    target_compile_definitions(zavek PRIVATE ZAVEK_QMF_HAS_MOVE_MESSAGES)
endif()
