#pragma once

#include "base/config.h"
#include "db/connection.h"
#include "db/query.h"

#include <memory>

namespace quorvel::db {

// DM: the database link Zconet and the five queries that describe the open event and its
// standings. Moving through qryCateg reopens the standings (qryListaPilotos), and moving
// through those reopens the current vehicle (qryDadosVeiculo).
class DataModule {
public:
    // Connects at once, to the configured host (empty: the local server). A failure
    // raises quorvel::Failure "SQL Error: ..." and no DataModule exists.
    explicit DataModule(const Config& config);
    ~DataModule();
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    Connection& Zconet() { return m_connection; }
    Query& qryOrganizador() { return *m_organizador; }
    Query& qryEvento() { return *m_evento; }
    Query& qryCateg() { return *m_categ; }
    Query& qryListaPilotos() { return *m_listaPilotos; }
    Query& qryDadosVeiculo() { return *m_dadosVeiculo; }

    void qryCategAfterScroll();
    void qryListaPilotosAfterScroll();

private:
    Connection m_connection;
    std::unique_ptr<Query> m_organizador;
    std::unique_ptr<Query> m_evento;
    std::unique_ptr<Query> m_categ;
    std::unique_ptr<Query> m_listaPilotos;
    std::unique_ptr<Query> m_dadosVeiculo;
};

} // namespace quorvel::db
