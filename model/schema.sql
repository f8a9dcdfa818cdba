-- Tables of the machine's database that the report program reads. The
-- program never creates or changes tables: tests, the demo and the
-- benchmark use this file to build a database of the same shape.
--
-- Instants are whole seconds since 1970-01-01 00:00 UTC. A session whose
-- instante_final is NULL is still open. Only the keys are constrained: the
-- program must cope with whatever else the machine has written.

create table treino (
    id                 serial primary key,
    nome               text,
    ativo              boolean default true,
    diretorio          text default '',
    num_classificacoes integer default 0
);

-- Photos per class of each variety.
create table numero_classificacao_treino (
    id                serial primary key,
    id_treino         integer,   -- treino.id
    num_classificacao integer,
    num_fotos         integer default 0
);

create table funcionario (
    id      serial primary key,
    nome    text,
    apelido text default '',
    ativo   boolean default true
);

-- Employee 1 is the machine's own account: its sessions are the spans in
-- which the machine ran.
create table sessao (
    id               serial primary key,
    id_funcionario   integer,    -- funcionario.id
    instante_inicial integer,
    instante_final   integer,
    sensor           integer default 0,
    id_treino        integer      -- treino.id
);

-- One row per classified item.
create table evento_muda (
    id            serial primary key,
    id_sessao     integer,       -- sessao.id
    id_treino     integer,       -- treino.id
    classificacao integer,       -- class, counted from 0
    instante      integer
);

-- Class entries of a variety, read in class order.
create index numero_classificacao_treino_treino
    on numero_classificacao_treino (id_treino, num_classificacao);

-- Sessions starting or ending inside a span.
create index sessao_inicial on sessao (instante_inicial);
create index sessao_final on sessao (instante_final);

-- Varieties with events in a span, and events per class in a span
-- (all varieties, or one).
create index evento_muda_instante on evento_muda (instante, id_treino);
create index evento_muda_classe on evento_muda (classificacao, instante);
create index evento_muda_treino_classe on evento_muda (id_treino, classificacao, instante);

-- Events of a session by class (and variety), counted without visiting the
-- table.
create index evento_muda_sessao on evento_muda (id_sessao, classificacao, id_treino) include (id);
