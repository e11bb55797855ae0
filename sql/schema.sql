-- The race database as the overlay reads it: the open event, its championship and
-- categories, the vehicles with their pilots' photos, and the timed results.
-- The server must compare table names without regard to case (lower_case_table_names=1):
-- the queries name the vehicle table both VEICULO and veiculo.

CREATE DATABASE IF NOT EXISTS vyd CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
USE vyd;

CREATE TABLE IF NOT EXISTS ORGANIZADOR (
  CODIGO INT NOT NULL AUTO_INCREMENT,
  NOME VARCHAR(100),
  COD_EVENTO_ABERTO INT,
  PRIMARY KEY (CODIGO)
) ENGINE=InnoDB;

CREATE TABLE IF NOT EXISTS campeonato (
  codigo INT NOT NULL AUTO_INCREMENT,
  campeonato VARCHAR(75),
  ano SMALLINT,
  PRIMARY KEY (codigo)
) ENGINE=InnoDB;

CREATE TABLE IF NOT EXISTS evento (
  codigo INT NOT NULL AUTO_INCREMENT,
  cod_campeonato INT,
  evento VARCHAR(120),
  data DATE,
  local VARCHAR(50),
  COMPRIMENTO_PISTA INT,
  PRIMARY KEY (codigo),
  KEY evento_campeonato (cod_campeonato, data),
  CONSTRAINT evento_campeonato_fk FOREIGN KEY (cod_campeonato) REFERENCES campeonato (codigo)
) ENGINE=InnoDB;

CREATE TABLE IF NOT EXISTS categoria (
  CODIGO INT NOT NULL AUTO_INCREMENT,
  SIGLA VARCHAR(5),
  CATEGORIA VARCHAR(50),
  DESCRICAO VARCHAR(200),
  COD_CAMPEONATO INT,
  WEB CHAR(1) DEFAULT 'S',
  TEMPO_MINIMO DOUBLE,
  RECORD_TEMPO DOUBLE,
  RECORD_PILOTO VARCHAR(100),
  DATA_RECORD DATE,
  MIN_PISTA_TOTAL CHAR(1) DEFAULT 'N',
  TEMPO_MAX DOUBLE,
  TXT_PAINEL VARCHAR(5),
  SHARKTANK CHAR(1) NOT NULL DEFAULT 'N',
  TREE_MODE INT,
  MATA_MATA CHAR(1) NOT NULL DEFAULT 'N',
  LISTA CHAR(1) NOT NULL DEFAULT 'N',
  DIAL_AUTO CHAR(1) DEFAULT 'N',
  NA_MOSCA CHAR(1) DEFAULT 'N',
  PRIMARY KEY (CODIGO),
  -- the board's list of categories: one championship, by name
  KEY categoria_campeonato (COD_CAMPEONATO, CATEGORIA),
  CONSTRAINT categoria_campeonato_fk FOREIGN KEY (COD_CAMPEONATO) REFERENCES campeonato (codigo)
) ENGINE=InnoDB;

CREATE TABLE IF NOT EXISTS veiculo (
  CODIGO INT NOT NULL AUTO_INCREMENT,
  PLACA VARCHAR(8) NOT NULL,
  VEICULO VARCHAR(60),
  PILOTO VARCHAR(60) NOT NULL,
  CIDADE VARCHAR(70),
  DETALHES_VEICULO VARCHAR(250),
  EQUIPE VARCHAR(100),
  EMAIL VARCHAR(75),
  CELULAR VARCHAR(15),
  COD_CAMPEONATO INT,
  WEB CHAR(1) DEFAULT 'S',
  CPF VARCHAR(14),
  CNH VARCHAR(14),
  FOTO VARCHAR(200),
  TMP_DIAL DOUBLE,
  NOSHARK CHAR(1) DEFAULT 'N',
  APELIDO VARCHAR(15),
  RG VARCHAR(12),
  TMP_DIAL_AUTO DOUBLE,
  NOME_ARQ_FOTO VARCHAR(50),
  DT_HR_CAD DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
  FOTO_PILOTO MEDIUMBLOB,
  DT_HR_ATUAL DATETIME,
  TMP_ALVO DOUBLE,
  PRIMARY KEY (CODIGO),
  KEY veiculo_campeonato (COD_CAMPEONATO)
) ENGINE=InnoDB;

CREATE TABLE IF NOT EXISTS RESULTADOS (
  CODIGO INT NOT NULL AUTO_INCREMENT,
  COD_EVENTO INT NOT NULL,
  COD_CATEGORIA INT NOT NULL,
  COD_VEICULO INT NOT NULL,
  BATERIA VARCHAR(5) NOT NULL,
  PISTA CHAR(1),
  reacao DOUBLE,
  t60 DOUBLE,
  t100 DOUBLE,
  t201 DOUBLE,
  velocidade DOUBLE,
  tfinal DOUBLE NOT NULL DEFAULT 0,
  status VARCHAR(20) NOT NULL DEFAULT 'Valido',
  DT_HR DATETIME,
  PRIMARY KEY (CODIGO),
  -- the standings: one event and category, valid final times, grouped by vehicle; the heat
  -- is in it too, so the board's page reads the index alone and never the rows (five times
  -- faster with 100,000 results)
  KEY resultados_classificacao (COD_EVENTO, COD_CATEGORIA, status, COD_VEICULO, tfinal, BATERIA),
  CONSTRAINT resultados_evento_fk FOREIGN KEY (COD_EVENTO) REFERENCES evento (codigo),
  CONSTRAINT resultados_categoria_fk FOREIGN KEY (COD_CATEGORIA) REFERENCES categoria (CODIGO),
  CONSTRAINT resultados_veiculo_fk FOREIGN KEY (COD_VEICULO) REFERENCES veiculo (CODIGO)
) ENGINE=InnoDB;

-- The overlay's account reads and never writes.
CREATE USER IF NOT EXISTS 'vyd'@'localhost' IDENTIFIED BY 'pqtrWMK#47d';
CREATE USER IF NOT EXISTS 'vyd'@'%' IDENTIFIED BY 'pqtrWMK#47d';
GRANT SELECT ON vyd.* TO 'vyd'@'localhost';
GRANT SELECT ON vyd.* TO 'vyd'@'%';
FLUSH PRIVILEGES;
