// A verify's side of the signature check (signatures/signature_check.h):
// which check file's signature is looked for, and the closing lines of a
// verify that reads no record because its check file's signature fails.
#pragma once

#include <string>

#include "checkfile/check_file_input.h"
#include "checkfile/result_sink.h"
#include "checkfile/verify_tally.h"
#include "signatures/signature_finding.h"

namespace quillora {

// The finding on the check file the verify opened as input from
// check_file_path, read through input.stream and sought back to where it
// stood. Standard input (from_standard_input) has no folder to hold a
// signature file: only a clear-signed one is checked. Raises IoError when
// the check file cannot be read.
SignatureFinding CheckFileSignature(Env& env, const std::string& check_file_path, const CheckFileInput& input,
                                    bool from_standard_input);

// The end of a verify whose check file's signature fails (Fails()): no
// record is read, so none is called OK on the word of a check file that
// cannot be trusted, nor changed on it either. Reports SummaryBegins, the
// finding's lines and "No record was verified: a check file whose signature
// fails vouches for none of its files."; returns counts of no record with
// signature_fails set.
VerifyCounts ReportRecordsNotVerified(ResultSink& sink, const SignatureFinding& finding);

}  // namespace quillora
