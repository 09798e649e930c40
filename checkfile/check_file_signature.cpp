#include "checkfile/check_file_signature.h"

#include "signatures/signature_check.h"

namespace quillora {

SignatureFinding CheckFileSignature(Env& env, const std::string& check_file_path, const CheckFileInput& input,
                                    bool from_standard_input) {
  return CheckSignature(env, from_standard_input ? std::string() : check_file_path, *input.stream);
}

VerifyCounts ReportRecordsNotVerified(ResultSink& sink, const SignatureFinding& finding) {
  sink.SummaryBegins();
  for (const std::string& line : SignatureLines(finding)) sink.SummaryLine(line);
  sink.SummaryLine("No record was verified: a check file whose signature fails vouches for none of its files.");
  VerifyCounts counts;
  counts.signature_fails = true;
  return counts;
}

}  // namespace quillora
