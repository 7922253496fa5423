#include "app/page.h"

#include <variant>

#include "runtime/window.h"
#include "ui/setup_window.h"

namespace vorlune {

void AdvancePage() {
  const PropertyValue page =
      GetControlProperty(SetupWindow, 选择夹1, kPropertyCurrentPage, kWholeProperty);
  const std::int32_t* current = std::get_if<std::int32_t>(&page);
  SetControlProperty(SetupWindow, 选择夹1, kPropertyCurrentPage, kWholeProperty,
                     NextPage(current != nullptr ? *current : 0));
}

}  // namespace vorlune
