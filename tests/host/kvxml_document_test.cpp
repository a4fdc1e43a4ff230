// The owner of a document of the XML service: each document is released exactly once, by the
// owner that holds it last.
#include <utility>

#include "test_support.h"
#include "xml_document.h"

namespace {

XERCES_DOM_ctx* new_context() {
  KVXML_init();
  int error = -1;
  return pvtbl_kvxml->XERCES_DOM_create(&error, "UTF-8", 0);
}

}  // namespace

TEST(KvxmlDocument, TheLastHolderReleasesTheDocumentOnce) {
  struct case_s {
    const char* what;
    void (*hand_over)(kvxml_document& from, kvxml_document& to);
  };
  const case_s cases[] = {
      {"moved into a new owner",
       [](kvxml_document& from, kvxml_document& to) { to = kvxml_document(std::move(from)); }},
      {"moved over a document held",
       [](kvxml_document& from, kvxml_document& to) {
         to.reset(new_context());
         to = std::move(from);
       }},
      {"released and taken",
       [](kvxml_document& from, kvxml_document& to) { to.reset(from.release()); }},
      {"moved onto itself",
       [](kvxml_document& from, kvxml_document& to) {
         to = std::move(from);
         kvxml_document& same = to;
         to = std::move(same);
       }},
  };
  for (const case_s& c : cases) {
    SCOPED_TRACE(c.what);
    XERCES_DOM_ctx* context = new_context();
    ASSERT_NE(context, nullptr);
    kvxml_document from(context);
    kvxml_document to;
    c.hand_over(from, to);
    EXPECT_EQ(from.get(), nullptr);
    EXPECT_EQ(to.get(), context);
    EXPECT_NE(pvtbl_kvxml->XERCES_DOM_getDocument(to.get()), nullptr);
  }
}
