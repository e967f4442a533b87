#include "publish_error.hpp"

void BadInput(const std::string& message) { throw PublishError(PublishError::BadInput, message); }
void WriteFailed(const std::string& message) { throw PublishError(PublishError::WriteFailed, message); }
