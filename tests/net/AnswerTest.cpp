// Judging answers: only status 200 with no transport error counts, and a
// body of any shape can be read without a crash.
#include <gtest/gtest.h>

#include "net/Answer.h"
#include "tests/support/MessageSink.h"
#include "tests/support/TestService.h"

using namespace test;

namespace {

http::Response Reply(long status, std::string body, http::ErrorCode code = http::ErrorCode::Ok) {
    http::Response r;
    r.status_code = status;
    r.text = std::move(body);
    r.error.code = code;
    r.url = "http://h/helper/config";
    return r;
}

}  // namespace

TEST(Answer, OnlyExactly200WithoutTransportErrorSucceeds) {
    const char* body = R"({"code":0,"data":{"head":"x"}})";
    Answer good(Reply(200, body));
    EXPECT_TRUE(good.Ok());
    EXPECT_EQ("x", json::String(json::Member(good.Data(), "head")));
    EXPECT_EQ("http://h/helper/config", good.Url());

    struct Case {
        long status;
        http::ErrorCode code;
    } failed[] = {{200, http::ErrorCode::RequestCancelled}, {200, http::ErrorCode::NetworkReceiveError},
                  {0, http::ErrorCode::ConnectionFailure},  {201, http::ErrorCode::Ok},
                  {204, http::ErrorCode::Ok},               {304, http::ErrorCode::Ok},
                  {404, http::ErrorCode::Ok},               {500, http::ErrorCode::Ok},
                  {0, http::ErrorCode::Ok}};
    for (const Case& c : failed) {
        SCOPED_TRACE(c.status);
        Answer a(Reply(c.status, body, c.code));
        EXPECT_FALSE(a.Ok());
        EXPECT_FALSE(Succeeded(Reply(c.status, body, c.code)));
        EXPECT_EQ(c.status, a.Status());
        EXPECT_EQ(int(c.code), a.ErrorCode());
        EXPECT_TRUE(a.Body().isNull()) << "a failed answer is not parsed";
        EXPECT_TRUE(a.Data().isNull());
    }
}

TEST(Answer, BodiesOfEveryShapeReadAsEmptyValues) {
    for (const char* body : {"", "<html>oops", "[1,2]", "\"data\"", "42", "null", R"({"data":"string"})",
                             R"({"data":7})", R"({"data":null})", R"({"data":{"list":"x"}})"}) {
        SCOPED_TRACE(body);
        Answer a(Reply(200, body));
        EXPECT_TRUE(a.Ok()) << "the parse result itself is not judged";
        EXPECT_EQ(0u, json::Elements(json::Member(a.Data(), "list")).size());
        EXPECT_EQ(0u, json::Elements(a.Data()).size());
        EXPECT_EQ("", json::String(json::At(a.Body(), {"data", "list", 0, "url"})));
        EXPECT_EQ(0, json::Int(json::At(a.Body(), {"data", "id"})));
    }
}

TEST(Answer, TakeFreesTheRecordAndTreatsAMissingOneAsFailed) {
    auto* record = new CompletionRecord{Reply(200, R"({"data":[1,2,3]})"), {}, 7};
    Answer a = Answer::Take(reinterpret_cast<WPARAM>(record));
    EXPECT_TRUE(a.Ok());
    EXPECT_EQ(3u, json::Elements(a.Data()).size());

    Answer missing = Answer::Take(0);
    EXPECT_FALSE(missing.Ok());
    EXPECT_EQ(int(http::ErrorCode::UnknownError), missing.ErrorCode());
}

class AnswerFromServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearFaults();
        ClearRequestLog();
    }
    void TearDown() override { ClearFaults(); }
    Answer Fetch(const std::string& path, http::Parameters parameters = {}) {
        size_t before = sink.completions.size();
        queue.EnqueueRequest(BaseUrl() + path, std::move(parameters), sink.Hwnd(), kDoneMessage);
        EXPECT_TRUE(sink.WaitForCompletions(before + 1));
        if (sink.completions.size() == before) return Answer(http::Response());
        return Answer(sink.completions.back().record->response);
    }

    RequestQueue queue;
    MessageSink sink;
};

TEST_F(AnswerFromServiceTest, WrongShapesFromTheServiceReadAsEmpty) {
    Json::Value fault;
    fault["path"] = "/helper/config";
    fault["body"] = "wrongshape-deep";
    SetFault(fault);
    Answer a = Fetch("/helper/config", {{"name", "quorvex"}});
    ASSERT_TRUE(a.Ok()) << a.Url() << " error " << a.ErrorCode();
    EXPECT_EQ("", json::String(json::At(a.Data(), {"title", "ccleaner"})));
    EXPECT_EQ("", json::String(json::Member(a.Data(), "kefu")));
    int versions = 0;
    for (const Json::Value& v : json::Elements(json::Member(a.Data(), "version")))
        versions += json::String(json::Member(v, "subType")) == "ccleaner";
    EXPECT_EQ(0, versions);
    EXPECT_EQ(0u, json::Elements(json::Member(a.Data(), "plugin")).size());
}

TEST_F(AnswerFromServiceTest, InjectedErrorStatusAndHtmlBodies) {
    Json::Value fault;
    fault["path"] = "/helper/ping";
    fault["status"] = 503;
    SetFault(fault);
    Answer failed = Fetch("/helper/ping");
    EXPECT_FALSE(failed.Ok());
    EXPECT_EQ(503, failed.Status());

    fault["status"] = 200;
    fault["body"] = "notjson";
    SetFault(fault);
    Answer html = Fetch("/helper/ping");
    EXPECT_TRUE(html.Ok());
    EXPECT_TRUE(html.Body().isNull());
}
