#include "services/ExportRequest.h"

#include <string>

#include <gtest/gtest.h>

#include "services/ExportFailure.h"
#include "services/JsonCoding.h"

namespace zanto {
namespace {

ExportRequest sampleRequest()
{
    ExportRequest request;
    request.id = "job-1";
    request.mode = "fcpxml";
    request.title = "前半 ハイライト";
    request.source = ExportRequest::Source{"match.mp4", 5'000'000'123, 5400.25};
    request.clips = {Clip{1.5, 4, "Goal", "note", {"攻撃", "PK"}}, Clip{10, 12.125, "", "", {}}};
    return request;
}

constexpr const char* sampleJson =
    R"({"id":"job-1","mode":"fcpxml","title":"前半 ハイライト",)"
    R"("source":{"name":"match.mp4","size":5000000123,"duration":5400.25},)"
    R"("clips":[{"start":1.5,"end":4,"name":"Goal","note":"note","labels":["攻撃","PK"]},)"
    R"({"start":10,"end":12.125,"name":"","note":"","labels":[]}]})";

TEST(ExportRequestTest, EncodesKeysInOrderCompactly)
{
    EXPECT_EQ(encodeJson(sampleRequest()), sampleJson);
}

TEST(ExportRequestTest, DecodesWhatItEncodes)
{
    EXPECT_EQ(decodeJson<ExportRequest>(sampleJson), sampleRequest());
}

TEST(ExportRequestTest, IgnoresUnknownKeysAndAcceptsIntegersForSeconds)
{
    const ExportRequest request =
        decodeJson<ExportRequest>(R"({"extra":{"deep":[1]},"id":"x","mode":"combined","title":"t",)"
                                  R"("source":{"name":"a.mov","size":7,"duration":60,"kind":"video"},)"
                                  R"("clips":[{"start":0,"end":2,"name":"n","note":"","labels":[],"color":"red"}]})");
    EXPECT_EQ(request.source.size, 7);
    EXPECT_EQ(request.source.duration, 60.0);
    ASSERT_EQ(request.clips.size(), 1u);
    EXPECT_EQ(request.clips[0].end, 2.0);
}

// Each required key, removed or set to null or to the wrong type, fails the
// whole request.
struct RemovalCase {
    const char* key;      // exact text to replace in sampleJson
    const char* replaced; // what it becomes
};

class ExportRequestRequiredKeyTest : public testing::TestWithParam<RemovalCase> { };

TEST_P(ExportRequestRequiredKeyTest, FailsToDecode)
{
    std::string json = sampleJson;
    const std::size_t at = json.find(GetParam().key);
    ASSERT_NE(at, std::string::npos);
    json.replace(at, std::string(GetParam().key).size(), GetParam().replaced);
    EXPECT_THROW(decodeJson<ExportRequest>(json), DecodingError) << json;
}

INSTANTIATE_TEST_SUITE_P(Keys, ExportRequestRequiredKeyTest,
                         testing::Values(RemovalCase{R"("id":"job-1",)", ""}, RemovalCase{R"("mode":"fcpxml",)", ""},
                                         RemovalCase{R"("title":"前半 ハイライト",)", ""},
                                         RemovalCase{R"("name":"match.mp4",)", ""},
                                         RemovalCase{R"("size":5000000123,)", ""},
                                         RemovalCase{R"(,"duration":5400.25)", ""}, RemovalCase{R"("start":1.5,)", ""},
                                         RemovalCase{R"("end":4,)", ""}, RemovalCase{R"("name":"Goal",)", ""},
                                         RemovalCase{R"("note":"note",)", ""},
                                         RemovalCase{R"(,"labels":["攻撃","PK"])", ""},
                                         RemovalCase{R"("size":5000000123)", R"("size":null)"},
                                         RemovalCase{R"("size":5000000123)", R"("size":5000000123.5)"},
                                         RemovalCase{R"("size":5000000123)", R"("size":"5000000123")"},
                                         RemovalCase{R"("clips":[)", R"("clips":{"a":1},"x":[)"},
                                         RemovalCase{R"("labels":["攻撃","PK"])", R"("labels":["攻撃",3])"},
                                         RemovalCase{R"("source":{)", R"("source":[],"y":{)"}));

TEST(ExportFailureTest, CarriesTheMessageUnchanged)
{
    const std::string message = "1〜1000件のクリップを選択してください。";
    const ExportFailure made = failure(message);
    EXPECT_EQ(made.message, message);
    try {
        throw failure(message);
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()), message);
    }
    EXPECT_EQ(failure(""), ExportFailure(""));
}

} // namespace
} // namespace zanto
