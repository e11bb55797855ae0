#pragma once

// The smallest season the board and a lane look-up can show: one championship, one event,
// one category ("Turbo") and one vehicle (code 11, "Ana Souza") with one valid result.
inline constexpr const char* kOneVehicleSeason =
    "USE vyd;"
    "INSERT INTO campeonato (codigo, campeonato) VALUES (1, 'Copa');"
    "INSERT INTO evento (codigo, cod_campeonato, evento, data) VALUES (10, 1, 'Etapa', '2026-12-01');"
    "INSERT INTO ORGANIZADOR (COD_EVENTO_ABERTO) VALUES (10);"
    "INSERT INTO categoria (CATEGORIA, COD_CAMPEONATO, LISTA, MATA_MATA, SHARKTANK) VALUES ('Turbo', 1, 'N', 'N', 'N');"
    "INSERT INTO veiculo (CODIGO, PLACA, PILOTO) VALUES (11, '111', 'Ana Souza');"
    "INSERT INTO RESULTADOS (COD_EVENTO, COD_CATEGORIA, COD_VEICULO, BATERIA, tfinal, status) VALUES "
    "(10, 1, 11, '1', 6.5, 'Valido');";
