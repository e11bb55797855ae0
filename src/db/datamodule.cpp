#include "db/datamodule.h"

#include "db/racequeries.h"

namespace quorvel::db {

DataModule::DataModule(const Config& config)
    : m_connection(config)
    , m_organizador(makeOrganizadorQuery(m_connection))
    , m_evento(makeEventoQuery(m_connection))
    , m_categ(makeCategQuery(m_connection))
    , m_listaPilotos(makeListaPilotosQuery(m_connection))
    , m_dadosVeiculo(makeDadosVeiculoQuery(m_connection))
{
    m_categ->setAfterScroll([this] { qryCategAfterScroll(); });
    m_listaPilotos->setAfterScroll([this] { qryListaPilotosAfterScroll(); });
    m_connection.connect();
}

DataModule::~DataModule()
{
    m_connection.disconnect();
}

void DataModule::qryCategAfterScroll()
{
    m_listaPilotos->close();
    m_listaPilotos->setParam("cod_categoria", m_categ->asInteger("CODIGO"));
    m_listaPilotos->setParam("cod_evento", m_evento->asInteger("CODIGO"));
    m_listaPilotos->open();
}

void DataModule::qryListaPilotosAfterScroll()
{
    m_dadosVeiculo->close();
    m_dadosVeiculo->setParam("cod_veiculo", m_listaPilotos->asInteger("COD_VEICULO"));
    m_dadosVeiculo->open();
}

} // namespace quorvel::db
