-- The worked example: one variety, one operator (the machine has no
-- funcionario row), the machine's session 08:10-13:40 and the operator's
-- 08:30-13:30 on 1 March 2015 in São Paulo (UTC-3), 14 events: ten of class A,
-- three of class C, one of class E.
insert into treino values (1, 'Variedade 1');
insert into funcionario values (2, 'Operador 1');
insert into sessao values
    (1, 1, extract(epoch from timestamptz '2015-03-01 08:10 -03'),
           extract(epoch from timestamptz '2015-03-01 13:40 -03'), 0, 1),
    (2, 2, extract(epoch from timestamptz '2015-03-01 08:30 -03'),
           extract(epoch from timestamptz '2015-03-01 13:30 -03'), 0, 1);
insert into evento_muda (id_sessao, id_treino, classificacao, instante)
    select 2, 1, c, extract(epoch from timestamptz '2015-03-01 09:00 -03') + 600 * c + i
    from (values (0, 10), (2, 3), (4, 1)) v(c, n), generate_series(1, n) i;
