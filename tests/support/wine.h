// Whether the tests run under Wine, which deviates from Windows in a few
// observed places. A test skips there only for such a deviation, named in
// the test with what Wine does instead.
#pragma once

namespace testsupport {

bool UnderWine();

}  // namespace testsupport
