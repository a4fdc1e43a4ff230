// A file parsed into a document of its own, with its loader's index.
#include "veru_parsed_file.h"

veru_parsed_file veru_parsed_file::create() {
  veru_document document;
  veru_parsed_file file;
  file.document_.reset(document.release());
  return file;
}

int veru_parsed_file::parse(const char* path, int mode, veru_indexer_f indexer) {
  CFI_ask_file_identity(path, &identity_);
  const int status = pvtbl_kvxml->XERCES_DOM_parseFile(context(), path, "utf-8", mode);
  if (status == 0) {
    const long long size = identity_.size;
    index_ = indexer(context(), size > 0 ? static_cast<std::size_t>(size) : 0);
  }
  return status;
}

const char* veru_parsed_file::error_text() const {
  return pvtbl_kvxml->XERCES_DOM_getErrorText(context());
}
