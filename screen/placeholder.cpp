int quorbelScreenPlaceholder = 0;
