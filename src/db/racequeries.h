#pragma once

#include "db/query.h"

#include <memory>

namespace quorvel::db {

class Connection;

// The SQL texts and declared columns of the race database's seven queries. Each maker
// builds the query on the given link, which closes it on disconnect.

std::unique_ptr<Query> makeOrganizadorQuery(Connection& connection); // qryOrganizador
std::unique_ptr<Query> makeEventoQuery(Connection& connection); // qryEvento
std::unique_ptr<Query> makeCategQuery(Connection& connection); // qryCateg
std::unique_ptr<Query> makeListaPilotosQuery(Connection& connection); // qryListaPilotos
std::unique_ptr<Query> makeDadosVeiculoQuery(Connection& connection); // qryDadosVeiculo

// The vehicle row, photo included, of the pilot announced for a lane: qryDadosPilotoA and
// qryDadosPilotoB, which the overlay form owns. Parameter CODIGO.
std::unique_ptr<Query> makeVehicleQuery(Connection& connection, const char* name);

} // namespace quorvel::db
