-- Fills an empty database of model/schema.sql with realistic machine data.
-- Repeatable: the same variables give the same rows. Variables (psql -v):
--   inicio      first day, 'YYYY-MM-DD'                  (default 2026-01-05)
--   dias        calendar days covered                     (default 90)
--   variedades  varieties, at most 12                     (default 6)
--   funcionarios employees besides the machine's account  (default 12)
--   turnos      machine sessions per working day          (default 2)
--   operadores  employee sessions per machine session     (default 3)
--   por_hora    items classified per machine hour         (default 600)
--   semente     random seed between -1 and 1              (default 0.42)
--   fuso        time zone of the working hours            (default America/Sao_Paulo)
\set ON_ERROR_STOP 1
\if :{?inicio} \else \set inicio 2026-01-05 \endif
\if :{?dias} \else \set dias 90 \endif
\if :{?variedades} \else \set variedades 6 \endif
\if :{?funcionarios} \else \set funcionarios 12 \endif
\if :{?turnos} \else \set turnos 2 \endif
\if :{?operadores} \else \set operadores 3 \endif
\if :{?por_hora} \else \set por_hora 600 \endif
\if :{?semente} \else \set semente 0.42 \endif
\if :{?fuso} \else \set fuso America/Sao_Paulo \endif

set client_min_messages = warning;
select setseed(:semente) as semente \gset

-- Varieties, each sorted into five classes.
insert into treino (nome, ativo, diretorio, num_classificacoes)
select nome, true, 'C:/treinos/' || n, 5
from unnest(array['Alface Crespa', 'Maçã Fuji', 'Morango Camarosa', 'Tomate Cereja',
                  'Pimentão Verde', 'Orquídea Branca', 'Café Arábica', 'Eucalipto Clonal',
                  'Pêssego', 'Mamão Formosa', 'Açaí', 'Limão Taiti'])
     with ordinality as v(nome, n)
where n <= :variedades
order by n;

insert into numero_classificacao_treino (id_treino, num_classificacao, num_fotos)
select t.id, c, 40 + (random() * 200)::int
from treino t, generate_series(0, 4) c
order by t.id, c;

-- Employee 1 is the machine's own account.
insert into funcionario (nome, apelido, ativo) values ('Máquina', 'maquina', true);
insert into funcionario (nome, apelido, ativo)
select p.nome || ' ' || s.sobrenome, lower(p.nome) || n, n % 17 <> 0
from generate_series(1, :funcionarios) n,
     lateral (select (array['José', 'João', 'Maria', 'Conceição', 'Antônio', 'Luíza', 'Sebastião',
                            'Ângela', 'Raimundo', 'Fátima', 'Gonçalo', 'Inês', 'Cláudio', 'Márcia',
                            'Fernão', 'Lúcia'])[1 + (n - 1) % 16] as nome) p,
     lateral (select (array['da Silva', 'Araújo', 'Gonçalves', 'Simões', 'Conceição', 'Brandão',
                            'Magalhães', 'Peçanha', 'Assunção'])[1 + ((n - 1) / 16 + n) % 9]
                     as sobrenome) s
order by n;

-- Machine sessions: working days Monday to Saturday, the shifts spread over
-- sixteen hours from 06:00 on, each on one variety; some shifts are skipped.
create temporary table turno as
select d::date as dia, t as turno,
       extract(epoch from ((d::date + time '06:00' + (t - 1) * interval '16 hours' / :turnos
                            + (random() * 20) * interval '1 minute') at time zone :'fuso'))::int
           as inicio,
       ((0.75 + random() * 0.15) * 57600 / :turnos)::int as duracao,
       1 + floor(random() * :variedades)::int as variedade,
       random() as sorte
from generate_series(:'inicio'::date, :'inicio'::date + (:dias - 1), interval '1 day') d,
     generate_series(1, :turnos) t
where extract(isodow from d) < 7;

insert into sessao (id_funcionario, instante_inicial, instante_final, sensor, id_treino)
select 1, inicio, inicio + duracao, 0, variedade
from turno
where sorte > 0.05
order by inicio;

-- Employee sessions inside and across each machine session: operators start
-- a little before or after the machine and stay about as long.
insert into sessao (id_funcionario, instante_inicial, instante_final, sensor, id_treino)
select 2 + floor(random() * :funcionarios)::int,
       s.instante_inicial + ((random() - 0.5) * 1800)::int,
       s.instante_final + ((random() - 0.5) * 1800)::int,
       1 + o % 2,
       s.id_treino
from sessao s, generate_series(1, :operadores) o
where s.id_funcionario = 1
order by s.id, o;

-- One event per classified item, inside an employee session and its
-- machine session, attributed to that employee session. Classes are skewed:
-- most items fall into the middle classes.
insert into evento_muda (id_sessao, id_treino, classificacao, instante)
select e.id, e.id_treino,
       (array[0, 1, 1, 2, 2, 2, 2, 3, 3, 4])[1 + floor(random() * 10)::int],
       e.ini + floor(random() * (e.fim - e.ini))::int
from (select s.id, s.id_treino,
             greatest(s.instante_inicial, m.instante_inicial) as ini,
             least(s.instante_final, m.instante_final) as fim
      from sessao s
      join sessao m on m.id_funcionario = 1 and m.id_treino = s.id_treino
                   and m.instante_inicial < s.instante_final
                   and s.instante_inicial < m.instante_final
      where s.id_funcionario <> 1) e,
     lateral generate_series(1, greatest(1, ((e.fim - e.ini) * :por_hora
                                              / (3600 * :operadores))::int)) n
where e.fim > e.ini
order by 4;

analyze treino, numero_classificacao_treino, funcionario, sessao, evento_muda;

select (select count(*) from treino) as variedades,
       (select count(*) from funcionario) as funcionarios,
       (select count(*) from sessao where id_funcionario = 1) as sessoes_maquina,
       (select count(*) from sessao where id_funcionario <> 1) as sessoes_funcionarios,
       (select count(*) from evento_muda) as eventos;
