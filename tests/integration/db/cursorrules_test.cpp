#include "racedatabase.h"

#include "base/failure.h"
#include "db/connection.h"
#include "db/query.h"

#include <functional>
#include <vector>

using namespace quorvel;
using namespace quorvel::db;

namespace {

class CursorRules : public test::RaceDatabaseTest {
protected:
    void SetUp() override
    {
        RaceDatabaseTest::SetUp();
        server().execute("INSERT INTO vyd.campeonato (codigo, campeonato) VALUES (1, 'A'), (2, 'B'), (3, 'C');");
    }

    // The championships up to a code: none, one or three rows.
    std::unique_ptr<Query> makeQuery(Connection& link)
    {
        auto query = std::make_unique<Query>(link, "qryTeste",
                                             "select codigo from campeonato where codigo <= :ate order by codigo",
                                             QList<ColumnDeclaration>{{"CODIGO", ColumnKind::Integer}});
        query->setAfterScroll([this, q = query.get()] { m_reactions.push_back(q->asInteger("codigo")); });
        return query;
    }

    // std::vector: Qt 6.4 compares two empty QLists with memcmp(nullptr, ...), which UBSan stops at
    std::vector<int> m_reactions; // the current code seen by each run of the reaction
};

enum class Op { Open, Close, First, Next, Last };

struct Step {
    Op op;
    int current; // CODIGO read afterwards (0: no row)
    bool eof;
    std::vector<int> reactions; // what the reaction saw during this step
};

struct Scenario {
    const char* name;
    int rows;
    QList<Step> steps;
};

void apply(Query& query, Op op)
{
    switch (op) {
    case Op::Open: query.open(); break;
    case Op::Close: query.close(); break;
    case Op::First: query.first(); break;
    case Op::Next: query.next(); break;
    case Op::Last: query.last(); break;
    }
}

TEST_F(CursorRules, MovesSetTheCurrentRowTheEndFlagAndRunTheReaction)
{
    const Scenario scenarios[] = {
        {"open with rows runs the reaction on the first row", 3, {{Op::Open, 1, false, {1}}}},
        {"open of an open query does nothing",
         3,
         {{Op::Open, 1, false, {1}}, {Op::Next, 2, false, {2}}, {Op::Open, 2, false, {}}}},
        {"next walks, then sets the flag on the last row",
         3,
         {{Op::Open, 1, false, {1}},
          {Op::Next, 2, false, {2}},
          {Op::Next, 3, false, {3}},
          {Op::Next, 3, true, {3}},
          {Op::Next, 3, true, {}}}},
        {"last sets the flag; first clears it",
         3,
         {{Op::Open, 1, false, {1}}, {Op::Last, 3, true, {3}}, {Op::First, 1, false, {1}}}},
        {"one row: next finds none and stays",
         1,
         {{Op::Open, 1, false, {1}}, {Op::Next, 1, true, {1}}, {Op::First, 1, false, {1}}}},
        {"empty: open runs no reaction, first and last do",
         0,
         {{Op::Open, 0, true, {}}, {Op::First, 0, true, {0}}, {Op::Last, 0, true, {0}}, {Op::Next, 0, true, {}}}},
        {"close drops the rows; a new open reads again",
         1,
         {{Op::Open, 1, false, {1}}, {Op::Close, 0, true, {}}, {Op::Close, 0, true, {}}, {Op::Open, 1, false, {1}}}},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        Connection link(m_config);
        auto query = makeQuery(link);
        query->setParam("ate", s.rows);
        for (const Step& step : s.steps) {
            m_reactions.clear();
            apply(*query, step.op);
            EXPECT_EQ(query->asInteger("CODIGO"), step.current) << int(step.op);
            EXPECT_EQ(query->eof(), step.eof) << int(step.op);
            EXPECT_EQ(m_reactions, step.reactions) << int(step.op);
        }
        if (query->isOpen()) {
            EXPECT_EQ(query->recordCount(), s.rows);
        }
    }
}

TEST_F(CursorRules, MovesAndCountOnAClosedQueryFailAndChangeNothing)
{
    Connection link(m_config);
    auto query = makeQuery(link);
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"first", [&] { query->first(); }},
        {"next", [&] { query->next(); }},
        {"last", [&] { query->last(); }},
        {"recordCount", [&] { (void)query->recordCount(); }},
    };
    for (const auto& [name, operation] : operations) {
        try {
            operation();
            ADD_FAILURE() << name << " did not fail";
        } catch (const Failure& e) {
            EXPECT_EQ(e.message(), Text("qryTeste: Cannot perform this operation on a closed dataset")) << name;
        }
        EXPECT_FALSE(query->isOpen());
        EXPECT_TRUE(m_reactions.empty()) << name;
    }
}

TEST_F(CursorRules, ParametersOutliveCloseAndUnsetOnesMatchNoRow)
{
    Connection link(m_config);
    auto query = makeQuery(link);
    query->open(); // :ate never set: NULL
    EXPECT_EQ(query->recordCount(), 0);
    query->close();
    query->setParam("ATE", 2);
    query->open();
    EXPECT_EQ(query->recordCount(), 2);
    query->close();
    query->open();
    EXPECT_EQ(query->recordCount(), 2);
    query->close();
    query->setParamNull("ate");
    query->open();
    EXPECT_EQ(query->recordCount(), 0);
    EXPECT_THROW(query->setParam("nada", 1), Failure);
}

} // namespace
